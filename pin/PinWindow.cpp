#include "pin/PinWindow.h"
#include "pin/PinGeometry.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace lumivane {

namespace {
bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

PinWindow::PinWindow(ImageRef image, std::function<void(const ImageRef&)> copy)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), image_(std::move(image)),
      copy_(std::move(copy)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The opacity is painted: Qt's Wayland platform cannot set a window's opacity, and
    // on X11 that needs a compositor just as painted translucency does.
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(windowTitleText());
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::OpenHandCursor);
    winId();
    // Another screen may have another scale: the window takes the new ratio's size.
    connect(windowHandle(), &QWindow::screenChanged, this, [this] { relayout(); });
    relayout();
}

double PinWindow::devicePixelRatio() const {
    if (QWindow* w = windowHandle())
        return w->devicePixelRatio();
    return devicePixelRatioF();
}

void PinWindow::showCenteredAt(QScreen* screen, QPoint center) {
    if (screen && windowHandle())
        windowHandle()->setScreen(screen);
    relayout();
    // Wayland: ignored, the compositor places the window.
    move(center - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
}

void PinWindow::relayout(std::optional<QPoint> anchor) {
    if (!image_)
        return;
    QSize size = pin_geometry::logicalSize(image_->size(), zoom_, devicePixelRatio());
    // Qt 6.4 on Wayland reuses a window buffer of the same pixel size whatever scale it
    // was made for: a pin moved from a scale 1 to a scale 2 output (the same pixels at
    // half the points) would be painted into its old scale 1 buffer, a quarter of it
    // at half density. One transparent point more at scales above 1 keeps the sizes apart.
    if (onWayland() && devicePixelRatio() > 1)
        size += QSize(1, 1);
    if (size == this->size())
        return;
    const QPoint origin = pos();
    if (anchor && isVisible() && !onWayland()) {
        const double fx = width() > 0 ? double(anchor->x()) / width() : 0.5;
        const double fy = height() > 0 ? double(anchor->y()) / height() : 0.5;
        move(origin + *anchor - QPoint(int(fx * size.width()), int(fy * size.height())));
    }
    setFixedSize(size);
    update();
}

void PinWindow::setZoom(double zoom, std::optional<QPoint> anchor) {
    zoom = std::clamp(zoom, pin_geometry::minimumZoom, pin_geometry::maximumZoom);
    if (zoom == zoom_)
        return;
    zoom_ = zoom;
    relayout(anchor ? anchor : std::optional<QPoint>(rect().center()));
}

void PinWindow::setPinOpacity(double opacity) {
    opacity_ = std::clamp(opacity, pin_geometry::minimumOpacity, 1.0);
    update();
}

void PinWindow::copyImage() {
    if (copy_)
        copy_(image_);
}

void PinWindow::paintEvent(QPaintEvent*) {
    if (!image_)
        return;
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setOpacity(opacity_);
    // From the top-left corner, image size × zoom in device pixels: at zoom 1 each image
    // pixel lands on one device pixel (no filtering at that scale).
    const double scale = zoom_ / devicePixelRatio();
    if (zoom_ < 1)
        p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(0, 0, image_->width() * scale, image_->height() * scale), *image_, QRectF(image_->rect()));
}

void PinWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // The window manager's or compositor's own move where there is one (the only way
    // on Wayland), else moved by hand.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    dragOffset_ = event->globalPosition().toPoint() - pos();
    setCursor(Qt::ClosedHandCursor);
}

void PinWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_)
        move(event->globalPosition().toPoint() - *dragOffset_);
}

void PinWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragOffset_) {
        dragOffset_.reset();
        setCursor(Qt::OpenHandCursor);
    }
}

void PinWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        close();
}

void PinWindow::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0)
        return;
    if (event->modifiers() & Qt::ControlModifier)
        setPinOpacity(pin_geometry::opacityBy(opacity_, steps));
    else
        setZoom(pin_geometry::zoomedBy(zoom_, steps), event->position().toPoint());
    event->accept();
}

void PinWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else if (event->matches(QKeySequence::Copy))
        copyImage();
    else if (event->key() == Qt::Key_0 && (event->modifiers() & Qt::ControlModifier))
        setZoom(1.0);
    else
        QWidget::keyPressEvent(event);
}

void PinWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("画像をコピー"), this, &PinWindow::copyImage);
    copy->setShortcut(QKeySequence::Copy);
    QAction* actual = menu.addAction(QStringLiteral("実際のサイズで表示"), this, [this] { setZoom(1.0); });
    actual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    actual->setEnabled(zoom_ != 1.0);
    QMenu* opacity = menu.addMenu(QStringLiteral("不透明度"));
    for (int percent : {100, 80, 60, 40}) {
        QAction* a = opacity->addAction(QStringLiteral("%1%").arg(percent), this,
                                        [this, percent] { setPinOpacity(percent / 100.0); });
        a->setCheckable(true);
        a->setChecked(std::lround(opacity_ * 100) == percent);
    }
    menu.addSeparator();
    QAction* closeAction = menu.addAction(QStringLiteral("閉じる"), this, &QWidget::close);
    closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
    menu.exec(event->globalPos());
}

} // namespace lumivane
