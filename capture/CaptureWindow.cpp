// Window captures: the active window as the desktop gives it, or cut from the screens.
#include "capture/CaptureService.h"

#include <QtConcurrent>

namespace lumivane {

std::optional<QRectF> CaptureService::captureRectForWindow(const QRect& frame, const std::vector<ScreenInfo>& screens) {
    const ScreenInfo* best = nullptr;
    qint64 bestArea = 0;
    for (const ScreenInfo& s : screens) {
        const QRect i = frame & s.nativeGeometry;
        const qint64 a = i.isEmpty() ? 0 : qint64(i.width()) * i.height();
        if (a > bestArea && !s.nativeGeometry.isEmpty()) {
            bestArea = a;
            best = &s;
        }
    }
    if (!best)
        return std::nullopt;
    // Points per native unit: 1/scale on X11 (pixels), 1 on Wayland (the layout is in points).
    const double k = best->frame.width() / best->nativeGeometry.width();
    const QRect& n = best->nativeGeometry;
    return QRectF(best->frame.x() + (frame.x() - n.x()) * k, best->frame.y() + (frame.y() - n.y()) * k,
                  frame.width() * k, frame.height() * k);
}

QFuture<ImageRef> CaptureService::captureWindow(std::shared_ptr<ActiveWindowCapture> source, bool includeFrame) const {
    auto self = *this;
    return QtConcurrent::run([self, source, includeFrame](QPromise<ImageRef>& promise) {
        if (!source)
            throw CaptureError(CaptureError::Kind::windowCaptureUnsupported);
        self.checkPermission();
        WindowShot shot;
        try {
            shot = source->activeWindow(includeFrame);
        } catch (const WindowCaptureError& e) {
            if (e.kind() == WindowCaptureError::Kind::cancelled) {
                // The user closed the desktop's own chooser: no capture, and no error.
                promise.future().cancel();
                return;
            }
            qCCritical(lcCapture).noquote() << "Window capture failed:" << e.message();
            switch (e.kind()) {
            case WindowCaptureError::Kind::noWindow:
                throw CaptureError(CaptureError::Kind::noActiveWindow);
            case WindowCaptureError::Kind::unsupported:
                throw CaptureError(CaptureError::Kind::windowCaptureUnsupported);
            case WindowCaptureError::Kind::refused:
                throw CaptureError(CaptureError::Kind::screenRecordingPermissionDenied);
            case WindowCaptureError::Kind::failed:
            case WindowCaptureError::Kind::cancelled:
                break;
            }
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        if (!shot.image.isNull()) {
            promise.addResult(makeImage(std::move(shot.image)));
            return;
        }
        const auto rect = captureRectForWindow(shot.frame, self.screens());
        if (!rect) {
            qCCritical(lcCapture).noquote() << "The active window lies on no screen:" << shot.frame;
            throw CaptureError(CaptureError::Kind::noActiveWindow);
        }
        QFuture<QImage> image = self.captureImage(*rect);
        image.waitForFinished();
        promise.addResult(makeImage(image.result()));
    });
}

} // namespace lumivane
