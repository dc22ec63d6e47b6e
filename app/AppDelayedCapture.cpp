// Captures after a delay: the countdown, then the full-screen, area, window or last-area flow.
#include "app/AppModel.h"
#include "app/DelayedCapture.h"

namespace lumivane {

void AppModel::captureAfterDelay(HotKeyService::Action action, int seconds, CaptureCompletion done) {
    if (!delayedCapture_) {
        delayedCapture_ = std::make_unique<DelayedCapture>();
        connect(delayedCapture_.get(), &DelayedCapture::runningChanged, this, &AppModel::stateChanged);
    }
    auto waiters = std::make_shared<CaptureWaiters>(std::move(done));
    delayedCapture_->start(
        seconds,
        [this, action, waiters] {
            auto finish = [waiters](const CaptureOutcome& outcome) { waiters->finish(outcome); };
            switch (action) {
            case HotKeyService::Action::captureArea:
                return captureArea(finish);
            case HotKeyService::Action::captureWindow:
                return captureWindow(finish);
            case HotKeyService::Action::captureLastArea:
                return captureLastArea(finish);
            default:
                return captureFullScreen(finish);
            }
        },
        [waiters] { waiters->finish(CaptureOutcome::cancelled()); });
}

void AppModel::cancelDelayedCapture() {
    if (delayedCapture_)
        delayedCapture_->cancel();
}

bool AppModel::isDelayedCaptureRunning() const {
    return delayedCapture_ && delayedCapture_->isRunning();
}

} // namespace lumivane
