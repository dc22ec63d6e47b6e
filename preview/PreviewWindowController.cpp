#include "preview/PreviewWindowController.h"
#include "platform/CoordinateSpace.h"
#include "platform/PanelWindowHints.h"
#include "preview/PreviewPanel.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVariantAnimation>
#include <cmath>

namespace lumivane {

PreviewWindowController::PreviewWindowController(std::shared_ptr<ScreenProvider> screens, PreviewActions actions)
    : screens_(std::move(screens)), panel_(std::make_unique<PreviewPanel>(std::move(actions))) {}

PreviewWindowController::~PreviewWindowController() = default;

QWidget* PreviewWindowController::window() const {
    return panel_.get();
}

void PreviewWindowController::setCodesFound(bool found) {
    if (panel_)
        panel_->setCodesFound(found);
}

bool PreviewWindowController::isVisible() const {
    return panel_->isVisible();
}

void PreviewWindowController::show(const ImageRef& image, const std::optional<QRectF>& frame) {
    if (hideAnimation_) {
        hideAnimation_->stop();
        hideAnimation_->deleteLater();
        hideAnimation_ = nullptr;
    }
    panel_->setImage(image);
    panel_->setFade(1, 0);
    panel_->resetHover();
    const std::optional<ScreenInfo> main = screens_ ? screens_->mainScreen() : std::nullopt;
    const std::optional<QRectF> f = frame ? frame : main ? std::optional<QRectF>(main->visibleFrame) : std::nullopt;
    // Placement. On X11 the panel moves itself to the lower-left corner of the
    // capture's screen. A Wayland client cannot place a window (the compositor puts
    // xdg toplevels where it likes); only a layer-shell surface can be anchored to
    // an output's corner. Qt 6.4 as Debian 12 ships it offers no sound way to make a
    // Qt window a layer surface: its QtWaylandClient private headers are not
    // packaged, and layer-shell-qt is built for Qt 5 only. So on Wayland the panel
    // stays an ordinary frameless tool window and the compositor places it.
    if (f && main) {
        const QPointF origin(f->left() + edgeInset, f->top() + edgeInset); // y up: top() is minY
        const QPointF topLeft = CoordinateSpace::logicalTopLeftForGlobalOrigin(
            origin, panelSize, CoordinateSpace::mainBottom(main->nativeGeometry, main->scale));
        restingOrigin_ = origin;
        restingPosition_ = topLeft.toPoint();
        panel_->move(*restingPosition_);
    }
    readyNativeWindow();
    panel_->show();
    panel_->raise();
}

bool PreviewWindowController::isHovering() const {
    return panel_->isHovering();
}

double PreviewWindowController::paintedOpacity() const {
    return panel_->fade();
}

void PreviewWindowController::prepare() {
    if (!panel_->testAttribute(Qt::WA_WState_Created))
        readyNativeWindow();
}

void PreviewWindowController::readyNativeWindow() {
    panel_->setShapedToCard(screens_ && !screens_->showsTranslucentWindows());
    panel_->winId(); // the native window, so that it can carry the hints before it is mapped
    markAsFloatingPanel(panel_->windowHandle());
}

void PreviewWindowController::hideWithFadeSlide() {
    if (!panel_->isVisible() || hideAnimation_)
        return;
    panel_->resetHover();
    const QPoint start = restingPosition_.value_or(panel_->pos());
    // A Wayland window cannot move itself: the card slides inside it instead.
    const bool slideInside = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    auto* group = new QParallelAnimationGroup(panel_.get());
    auto* fade = new QVariantAnimation(group);
    fade->setDuration(hideDurationMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(fade, &QVariantAnimation::valueChanged, panel_.get(), [this, slideInside](const QVariant& v) {
        const double t = v.toDouble();
        panel_->setFade(1 - t, slideInside ? t * slideDistance : 0);
    });
    group->addAnimation(fade);
    if (!slideInside) {
        auto* slide = new QPropertyAnimation(panel_.get(), "pos", group);
        slide->setDuration(hideDurationMs);
        slide->setStartValue(start);
        slide->setEndValue(start - QPoint(slideDistance, 0));
        slide->setEasingCurve(QEasingCurve::InOutQuad);
        group->addAnimation(slide);
    }
    hideAnimation_ = group;
    QObject::connect(group, &QAbstractAnimation::finished, panel_.get(), [this, group, start, slideInside] {
        if (!slideInside)
            panel_->move(start);
        panel_->hide();
        panel_->setFade(1, 0);
        if (hideAnimation_ == group)
            hideAnimation_ = nullptr;
        group->deleteLater();
    });
    group->start();
}

void PreviewWindowController::removeFromScreen() {
    if (hideAnimation_) {
        hideAnimation_->stop();
        hideAnimation_->deleteLater();
        hideAnimation_ = nullptr;
    }
    panel_->hide();
    panel_->setFade(1, 0);
    panel_->resetHover();
    if (restingPosition_)
        panel_->move(*restingPosition_);
}

} // namespace lumivane
