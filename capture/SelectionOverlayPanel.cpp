#include "capture/SelectionOverlayPanel.h"
#include "capture/SelectionOverlayGeometry.h"
#include "capture/TabularDigits.h"
#include "platform/CoordinateSpace.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace lumivane {

namespace G = SelectionOverlayGeometry;

namespace {

constexpr double minimumDragDistance = 1.0;

QFont overlayFont(const QFont& base, QFont::Weight weight) {
    QFont f = base;
    f.setPixelSize(12);
    f.setWeight(weight);
    return f;
}

} // namespace

SelectionOverlayPanel::SelectionOverlayPanel(const ScreenInfo& screen, QImage backdrop)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::Tool),
      screen_(screen), backdrop_(std::move(backdrop)) {
    setObjectName(QStringLiteral("selectionOverlayPanel"));
    setWindowTitle(QStringLiteral("Lumivane Selection"));
    if (backdrop_.isNull()) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(crosshairCursor(screen_.scale));
    setGeometry(CoordinateSpace::logicalRectForNative(screen_.nativeGeometry, screen_.scale).toAlignedRect());
}

std::optional<QRectF> SelectionOverlayPanel::selectionRect() const {
    return G::selectionRect(dragStart_, currentPoint_);
}

void SelectionOverlayPanel::setWindowRects(std::vector<QRectF> windows) {
    windows_ = std::move(windows);
    update();
}

std::optional<QRectF> SelectionOverlayPanel::hoveredWindow() const {
    if (dragStart_ || !currentPoint_)
        return std::nullopt;
    return G::windowAt(windows_, *currentPoint_);
}

QImage SelectionOverlayPanel::crosshairImage(qreal dpr) {
    QImage img(QSize(22, 22) * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(11, 11);
    QPainterPath arms;
    for (const QPointF d : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)}) {
        arms.moveTo(c + d * 3);
        arms.lineTo(c + d * 12);
    }
    p.strokePath(arms, QPen(QColor::fromRgbF(0, 0, 0, 0.45), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.strokePath(arms, QPen(Qt::white, 1.0, Qt::SolidLine, Qt::RoundCap));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(1, 1, 1, 0.9));
    p.drawEllipse(c, 1.5, 1.5);
    return img;
}

QCursor SelectionOverlayPanel::crosshairCursor(qreal dpr) {
    // 22 × 22 points: as many pixels as the screen has per point, hot spot at the centre.
    // The X11 cursor takes its hot spot in the pixmap's pixels.
    QPixmap pixmap = QPixmap::fromImage(crosshairImage(dpr));
    return QCursor(pixmap, int(11 * dpr), int(11 * dpr));
}

void SelectionOverlayPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (backdrop_.isNull()) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        p.drawImage(rect(), backdrop_);
    }
    p.setRenderHint(QPainter::Antialiasing);

    if (showsInstruction_) {
        const QFont font = overlayFont(this->font(), QFont::DemiBold);
        const QString text = windows_.empty() ? G::hintText() : G::windowHintText();
        const QRectF capsule = G::hintRect(viewSize(), QFontMetricsF(font).horizontalAdvance(text));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(0, 0, 0, 0.68));
        p.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(capsule, Qt::AlignCenter, text);
    }

    if (const auto window = hoveredWindow()) {
        p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.95), 2.0));
        p.setBrush(QColor::fromRgbF(0.25, 0.55, 1.0, 0.22));
        p.drawRect(window->adjusted(1, 1, -1, -1));
    }

    const auto selection = selectionRect();
    if (!selection)
        return;
    // Soft shadow of radius 2 under the outline: stacked strokes, darkest at the line.
    p.setBrush(Qt::NoBrush);
    QPainterPath outlinePath;
    outlinePath.addRect(*selection);
    constexpr int shadowSteps = 4;
    for (int i = shadowSteps; i >= 1; --i)
        p.strokePath(outlinePath, QPen(QColor::fromRgbF(0, 0, 0, 0.35 / shadowSteps), 1.5 + i, Qt::SolidLine,
                                       Qt::FlatCap, Qt::MiterJoin));
    QPen outline(QColor::fromRgbF(1, 1, 1, 0.95), 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    outline.setMiterLimit(10);
    p.setPen(outline);
    p.drawRect(*selection);

    if (dragStart_ && currentPoint_) {
        const QPointF centre = G::badgeCenter(*currentPoint_, viewSize());
        const QRectF badge(centre - QPointF(G::badgeSize.width() / 2, G::badgeSize.height() / 2), G::badgeSize);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(0, 0, 0, 0.7));
        p.drawRect(badge);
        p.setFont(overlayFont(this->font(), QFont::Medium));
        p.setPen(Qt::white);
        drawTabularText(p, badge, G::badgeText(*selection)); // steady width while the numbers change
    }
}

QPointF SelectionOverlayPanel::eventPoint(const QMouseEvent* e) const {
    const QPointF rounded = e->position();
    if (!preciseGlobalPointer)
        return rounded;
    const std::optional<QPointF> global = preciseGlobalPointer();
    if (!global)
        return rounded;
    const QRectF& f = screen_.frame; // global space, y up: the view's top is f.bottom()
    const QPointF local(global->x() - f.x(), f.y() + f.height() - global->y());
    // The pointer read now is this event's unless it has moved on since.
    const QPointF d = local - rounded;
    return std::abs(d.x()) <= 1.0 && std::abs(d.y()) <= 1.0 ? local : rounded;
}

void SelectionOverlayPanel::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    pressPoint_ = eventPoint(e);
    dragStart_.reset();
}

void SelectionOverlayPanel::mouseMoveEvent(QMouseEvent* e) {
    const QPointF at = eventPoint(e);
    const QPointF p = G::clamped(at, viewSize());
    if (pressPoint_ && !dragStart_) {
        const QPointF d = at - *pressPoint_;
        if (std::hypot(d.x(), d.y()) >= minimumDragDistance)
            dragStart_ = G::clamped(*pressPoint_, viewSize());
    }
    currentPoint_ = p;
    update();
}

void SelectionOverlayPanel::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !pressPoint_)
        return;
    pressPoint_.reset();
    // A click that never became a drag takes the window under it; elsewhere it cancels
    // like a drag of 2 points or less.
    if (!dragStart_) {
        currentPoint_ = G::clamped(eventPoint(e), viewSize());
        if (const auto window = hoveredWindow()) {
            showsInstruction_ = false;
            if (onSelect)
                onSelect(G::captureRect(screen_.frame, *window));
        } else if (onCancel) {
            onCancel();
        }
        return;
    }
    currentPoint_ = G::clamped(eventPoint(e), viewSize());
    const auto selection = selectionRect();
    showsInstruction_ = false;
    update();
    if (G::isAccepted(selection)) {
        if (onSelect)
            onSelect(G::captureRect(screen_.frame, *selection));
    } else if (onCancel) {
        onCancel();
    }
}

void SelectionOverlayPanel::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        if (onCancel)
            onCancel();
        return;
    }
    QWidget::keyPressEvent(e);
}

} // namespace lumivane
