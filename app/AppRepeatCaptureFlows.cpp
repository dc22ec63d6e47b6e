// The capture flows that need no selection: the active window, and the last area
// again on the screen it was taken on.
#include "app/AppModel.h"
#include "app/LastCaptureAreas.h"
#include "capture/CaptureError.h"

#include <QPointer>

namespace lumivane {

void AppModel::rememberCaptureArea(const QRectF& rect) {
    if (!services_.screens)
        return;
    if (auto area = lastCaptureAreaFor(rect, services_.screens->screens())) {
        settings_->setLastCaptureArea(area);
        emit stateChanged(); // the menu item for the area
    }
}

void AppModel::presentCaptureOf(QFuture<ImageRef> capture, std::optional<QRectF> previewFrame,
                                std::shared_ptr<CaptureWaiters> waiters) {
    QPointer<AppModel> self(this);
    capture
        .then(this,
              [self, previewFrame, waiters](ImageRef image) {
                  if (!self)
                      return;
                  if (!image)
                      throw CaptureError(CaptureError::Kind::captureFailed);
                  self->presentCapture(std::move(image), CaptureSource::standard, previewFrame);
                  waiters->finish(CaptureOutcome::shown());
              })
        .onFailed(this,
                  [self, waiters](const std::exception& e) {
                      if (self)
                          self->reportCaptureFailure(e, *waiters);
                  })
        .onCanceled(this, [waiters] { waiters->finish(CaptureOutcome::cancelled()); });
}

void AppModel::captureWindow(CaptureCompletion done) {
    auto waiters = std::make_shared<CaptureWaiters>(std::move(done));
    if (!services_.captureActiveWindow) {
        // This desktop tells no application which window is active, nor captures one for it.
        reportCaptureFailure(CaptureError(CaptureError::Kind::windowCaptureUnsupported), *waiters);
        return;
    }
    const std::optional<QPointF> pointer = services_.screens ? services_.screens->pointerLocation() : std::nullopt;
    const auto frame = pointer ? previewScreenFrame(*pointer) : previewScreenFrame(QPointF(-1e9, -1e9));
    presentCaptureOf(services_.captureActiveWindow(settings_->includeWindowFrame()), frame, waiters);
}

void AppModel::captureLastArea(CaptureCompletion done) {
    auto waiters = std::make_shared<CaptureWaiters>(std::move(done));
    const auto& area = settings_->lastCaptureArea();
    try {
        if (!area)
            throw CaptureError(CaptureError::Kind::noLastArea);
        const QRectF rect =
            rectForLastCaptureArea(*area, services_.screens ? services_.screens->screens() : std::vector<ScreenInfo>{});
        presentCaptureOf(services_.captureRect(rect), previewScreenFrameForRect(rect), waiters);
    } catch (const CaptureError& e) {
        reportCaptureFailure(e, *waiters);
    }
}

} // namespace lumivane
