// Window captures on KDE Plasma: KWin's ScreenShot2 CaptureActiveWindow.
#include "platform/wayland/kwin/KWinWindowCapture.h"
#include "platform/wayland/kwin/KWinScreenGrabber.h"

namespace lumivane {

namespace {

class KWinActiveWindowCapture final : public ActiveWindowCapture {
public:
    explicit KWinActiveWindowCapture(std::shared_ptr<KWinScreenGrabber> grabber) : grabber_(std::move(grabber)) {}

    WindowShot activeWindow(bool includeFrame) override {
        if (!grabber_->refusal().isEmpty())
            throw WindowCaptureError(WindowCaptureError::Kind::unsupported, grabber_->refusal());
        KWinScreenGrabber::Frame frame = grabber_->captureActiveWindow(includeFrame);
        if (!frame.image.isNull())
            return WindowShot{std::move(frame.image), QRect()};
        const QString why = frame.errorName + QLatin1Char(' ') + frame.errorMessage;
        if (frame.errorName.endsWith(QLatin1String(".NoAuthorized")))
            throw WindowCaptureError(WindowCaptureError::Kind::unsupported, why);
        if (frame.errorName.endsWith(QLatin1String(".InvalidWindow")))
            throw WindowCaptureError(WindowCaptureError::Kind::noWindow, why);
        throw WindowCaptureError(WindowCaptureError::Kind::failed, why);
    }

private:
    std::shared_ptr<KWinScreenGrabber> grabber_;
};

} // namespace

std::unique_ptr<ActiveWindowCapture> makeKWinActiveWindowCapture(std::shared_ptr<KWinScreenGrabber> grabber) {
    return std::make_unique<KWinActiveWindowCapture>(std::move(grabber));
}

} // namespace lumivane
