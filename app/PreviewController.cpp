#include "app/PreviewController.h"
#include "settings/AppSettings.h"

namespace lumivane {

namespace {
constexpr int autoDismissPollMs = 1000;
constexpr qint64 autoDismissIdleMs = 4000;
} // namespace

PreviewController::PreviewController(const AppSettings& settings, const AppServices& services, QObject* parent)
    : QObject(parent), settings_(settings), services_(services), lastInteractionAt_(QDateTime::fromMSecsSinceEpoch(0)) {
    dismissTimer_.setInterval(autoDismissPollMs);
    connect(&dismissTimer_, &QTimer::timeout, this, [this] {
        if (!presenter_ || !presenter_->isVisible()) {
            dismissTimer_.stop();
            return;
        }
        if (!hovering_ && lastInteractionAt_.msecsTo(QDateTime::currentDateTime()) >= autoDismissIdleMs)
            dismiss();
    });
}

PreviewController::~PreviewController() = default;

PreviewPresenter& PreviewController::presenter() {
    if (!presenter_)
        presenter_ = services_.makePreview();
    return *presenter_;
}

void PreviewController::prepare() {
    if (services_.makePreview)
        presenter().prepare();
}

void PreviewController::show(const CapturedImage& capture) {
    presenter().show(capture);
    noteInteraction();
    scheduleAutoDismissIfNeeded();
}

void PreviewController::dismiss() {
    dismissTimer_.stop();
    hovering_ = false;
    if (presenter_)
        presenter_->hideWithFadeSlide();
}

void PreviewController::removeFromScreen() {
    dismissTimer_.stop();
    hovering_ = false;
    if (presenter_)
        presenter_->removeFromScreen();
}

void PreviewController::setCodesFound(bool found) {
    if (presenter_)
        presenter_->setCodesFound(found);
}

void PreviewController::scheduleAutoDismissIfNeeded() {
    dismissTimer_.stop();
    if (settings_.autoDismissPreview())
        dismissTimer_.start();
}

void PreviewController::hoverChanged(bool hovering) {
    hovering_ = hovering;
    noteInteraction();
}

void PreviewController::noteInteraction() {
    lastInteractionAt_ = QDateTime::currentDateTime();
}

} // namespace lumivane
