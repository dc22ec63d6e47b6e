// The capture flows of the application model: full screen, area and browser page,
// each telling its waiters how it ended.
#include "app/AppModel.h"
#include "app/ErrorMessages.h"
#include "app/TextRecognitionController.h"
#include "browser/BrowserCaptureError.h"
#include "capture/CaptureError.h"
#include "ocr/TextRecognitionError.h"

#include <QPointer>
#include <QTimer>

namespace lumivane {

namespace {
constexpr int areaCaptureDelayMs = 220;

double area(const QRectF& r) {
    return (r.width() > 0 && r.height() > 0) ? r.width() * r.height() : 0;
}
} // namespace

void AppModel::handleHotKey(HotKeyService::Action action, CaptureCompletion done) {
    if (action == HotKeyService::Action::captureArea || action == HotKeyService::Action::captureAreaText) {
        if (selectionOverlay_) {
            // The running selection answers this request too.
            if (selectionWaiters_)
                selectionWaiters_->add(std::move(done));
            else if (done)
                done(CaptureOutcome::cancelled());
            selectionOverlay_->activateOverlay();
            return;
        }
        if (action == HotKeyService::Action::captureAreaText)
            captureAreaText(std::move(done));
        else
            captureArea(std::move(done));
        return;
    }
    switch (action) {
    case HotKeyService::Action::captureWindow:
        return captureWindow(std::move(done));
    case HotKeyService::Action::captureLastArea:
        return captureLastArea(std::move(done));
    default:
        return captureFullScreen(std::move(done));
    }
}

void AppModel::reportCaptureFailure(const std::exception& error, CaptureWaiters& waiters) {
    const QString message = userFacingErrorMessage(error);
    reportError(error);
    emit captureFailed(message);
    waiters.finish(CaptureOutcome::failed(message));
}

std::optional<QRectF> AppModel::previewScreenFrame(QPointF point) const {
    if (!services_.screens)
        return std::nullopt;
    const auto screens = services_.screens->screens();
    for (const ScreenInfo& s : screens)
        if (s.frame.contains(point))
            return s.visibleFrame;
    if (auto main = services_.screens->mainScreen())
        return main->visibleFrame;
    if (!screens.empty())
        return screens.front().visibleFrame;
    return std::nullopt;
}

std::optional<QRectF> AppModel::previewScreenFrameForRect(const QRectF& rect) const {
    if (!services_.screens)
        return std::nullopt;
    const auto screens = services_.screens->screens();
    if (screens.empty())
        return std::nullopt;
    const QPointF centre = rect.center();
    for (const ScreenInfo& s : screens)
        if (s.frame.contains(centre))
            return s.visibleFrame;
    const ScreenInfo* best = &screens.front();
    double bestArea = -1;
    for (const ScreenInfo& s : screens) {
        const double a = area(s.frame & rect);
        if (a > bestArea) {
            bestArea = a;
            best = &s;
        }
    }
    return best->visibleFrame;
}

void AppModel::captureFullScreen(CaptureCompletion done) {
    const std::optional<QPointF> pointer = services_.screens ? services_.screens->pointerLocation() : std::nullopt;
    const std::optional<QRectF> frame =
        pointer ? previewScreenFrame(*pointer) : previewScreenFrame(QPointF(-1e9, -1e9));
    QPointer<AppModel> self(this);
    auto waiters = std::make_shared<CaptureWaiters>(std::move(done));
    services_.captureFullScreen()
        .then(this,
              [self, frame, waiters](ImageRef image) {
                  if (!self)
                      return;
                  if (!image)
                      throw CaptureError(CaptureError::Kind::captureFailed);
                  self->presentCapture(std::move(image), CaptureSource::standard, frame);
                  waiters->finish(CaptureOutcome::shown());
              })
        .onFailed(this, [self, waiters](const std::exception& e) {
            if (self)
                self->reportCaptureFailure(e, *waiters);
        });
}

void AppModel::captureArea(CaptureCompletion done) {
    captureAreaThen(std::move(done), false);
}

void AppModel::captureAreaText(CaptureCompletion done) {
    if (!textRecognition_->isAvailable()) {
        CaptureWaiters waiters(std::move(done));
        reportCaptureFailure(textRecognition_->missingError(), waiters);
        return;
    }
    // The engine loads while the area is chosen.
    textRecognition_->preload();
    captureAreaThen(std::move(done), true);
}

void AppModel::readCapturedText(const ImageRef& image, const std::shared_ptr<CaptureWaiters>& waiters) {
    textRecognition_->readText(image, [waiters](const TextReadOutcome& outcome) {
        switch (outcome.kind) {
        case TextReadOutcome::Kind::read:
            waiters->finish(CaptureOutcome::read(outcome.text));
            break;
        case TextReadOutcome::Kind::failed:
            waiters->finish(CaptureOutcome::failed(outcome.text));
            break;
        case TextReadOutcome::Kind::cancelled:
            waiters->finish(CaptureOutcome::cancelled());
            break;
        }
    });
}

void AppModel::captureAreaThen(CaptureCompletion done, bool readText) {
    // A selection replaced by this one tells its waiters that it was cancelled.
    selectionWaiters_ = std::make_shared<CaptureWaiters>(std::move(done));
    selectionOverlay_ = services_.makeSelectionOverlay ? services_.makeSelectionOverlay() : nullptr;
    if (!selectionOverlay_) {
        selectionWaiters_.reset();
        return;
    }
    QPointer<AppModel> self(this);
    SelectionOverlay* overlay = selectionOverlay_.get();
    const std::shared_ptr<CaptureWaiters> waiters = selectionWaiters_;
    // The overlay owns the promise whose continuation runs here: release it only
    // after the continuation has returned.
    auto forget = [self, overlay] {
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, overlay] {
                if (!self || self->selectionOverlay_.get() != overlay)
                    return;
                self->selectionOverlay_.reset();
                self->selectionWaiters_.reset();
            },
            Qt::QueuedConnection);
    };
    overlay->beginSelection()
        .then(this,
              [self, forget, waiters, readText](std::optional<QRectF> rect) {
                  if (!self)
                      return;
                  if (!rect) {
                      forget();
                      waiters->finish(CaptureOutcome::cancelled());
                      return;
                  }
                  // Give the overlay time to leave the screen before capturing.
                  QTimer::singleShot(areaCaptureDelayMs, self, [self, forget, waiters, readText, r = *rect] {
                      if (!self)
                          return;
                      const auto frame = self->previewScreenFrameForRect(r);
                      self->services_.captureRect(r)
                          .then(self.data(),
                                [self, forget, frame, waiters, readText, r](ImageRef image) {
                                    forget();
                                    if (!self)
                                        return;
                                    if (!image)
                                        throw CaptureError(CaptureError::Kind::captureFailed);
                                    if (readText) {
                                        self->readCapturedText(image, waiters);
                                        return;
                                    }
                                    self->presentCapture(std::move(image), CaptureSource::standard, frame);
                                    self->rememberCaptureArea(r);
                                    waiters->finish(CaptureOutcome::shown());
                                })
                          .onFailed(self.data(), [self, forget, waiters](const std::exception& e) {
                              forget();
                              if (self)
                                  self->reportCaptureFailure(e, *waiters);
                          });
                  });
              })
        .onFailed(this, [self, forget, waiters](const std::exception& e) {
            forget();
            if (self)
                self->reportCaptureFailure(e, *waiters);
        });
}

void AppModel::captureBrowserFullPage(CaptureCompletion done) {
    auto waiters = std::make_shared<CaptureWaiters>(std::move(done));
    if (!services_.captureBrowserPage) {
        reportCaptureFailure(BrowserCaptureError(BrowserCaptureError::Kind::unsupportedBrowser), *waiters);
        return;
    }
    // The capture runs on the browser capture service's own thread; a second request
    // while one runs comes back refused with its message.
    QPointer<AppModel> self(this);
    services_.captureBrowserPage(BrowserCaptureOptions{settings_->splitLongPages()})
        .then(this,
              [self, waiters](const BrowserCaptureResult& result) {
                  if (!self)
                      return;
                  if (!result.image)
                      throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
                  self->markBrowserVerified();
                  self->setSetupState(self->evaluatedSetupState());
                  // A long page split into parts: every part is saved, the preview and clipboard carry the first.
                  const QString partsNote =
                      result.parts.empty() ? QString() : self->saver_->saveBrowserPageParts(result.parts);
                  self->presentCapture(result.image, CaptureSource::browserFullPage, std::nullopt);
                  // A picture that leaves part of the page out says so.
                  QStringList notes;
                  if (!result.omissions.empty())
                      notes << browserCaptureOmissionMessage(result.omissions);
                  if (!partsNote.isEmpty())
                      notes << partsNote;
                  if (!notes.isEmpty())
                      self->setLastErrorMessage(notes.join(QStringLiteral("\n\n")));
                  waiters->finish(CaptureOutcome::shown());
              })
        .onFailed(this, [self, waiters](const std::exception& e) {
            if (self)
                self->reportCaptureFailure(e, *waiters);
        });
}

} // namespace lumivane
