// Window captures on KDE Plasma: KWin's ScreenShot2 CaptureActiveWindow.
#include "platform/wayland/kwin/KWinWindowCapture.h"
#include "platform/wayland/kwin/KWinScreenGrabber.h"

#include <QDebug>

namespace lumivane {

namespace {

class KWinActiveWindowCapture final : public ActiveWindowCapture {
public:
    KWinActiveWindowCapture(std::shared_ptr<KWinScreenGrabber> grabber, std::unique_ptr<ActiveWindowCapture> fallback)
        : grabber_(std::move(grabber)), fallback_(std::move(fallback)) {}

    WindowShot activeWindow(bool includeFrame) override {
        if (!grabber_->refusal().isEmpty())
            return otherWay(WindowCaptureError::Kind::unsupported, includeFrame, grabber_->refusal());
        KWinScreenGrabber::Frame frame = grabber_->captureActiveWindow(includeFrame);
        if (!frame.image.isNull())
            return WindowShot{std::move(frame.image), QRect()};
        const QString why = frame.errorName + QLatin1Char(' ') + frame.errorMessage;
        if (frame.errorName.endsWith(QLatin1String(".NoAuthorized")))
            return otherWay(WindowCaptureError::Kind::unsupported, includeFrame, why);
        if (frame.errorName.endsWith(QLatin1String(".InvalidWindow")))
            throw WindowCaptureError(WindowCaptureError::Kind::noWindow, why);
        // No answer (KWin 5.27 gives none for a full-screen window) or a broken one.
        qWarning().noquote() << "KWin's window capture failed:" << why.trimmed();
        return otherWay(WindowCaptureError::Kind::failed, includeFrame, why);
    }

private:
    // The fallback's picture, or without one the error of this kind.
    WindowShot otherWay(WindowCaptureError::Kind kind, bool includeFrame, const QString& why) {
        if (!fallback_)
            throw WindowCaptureError(kind, why);
        return fallback_->activeWindow(includeFrame);
    }

    std::shared_ptr<KWinScreenGrabber> grabber_;
    std::unique_ptr<ActiveWindowCapture> fallback_;
};

} // namespace

std::unique_ptr<ActiveWindowCapture> makeKWinActiveWindowCapture(std::shared_ptr<KWinScreenGrabber> grabber,
                                                                 std::unique_ptr<ActiveWindowCapture> fallback) {
    return std::make_unique<KWinActiveWindowCapture>(std::move(grabber), std::move(fallback));
}

} // namespace lumivane
