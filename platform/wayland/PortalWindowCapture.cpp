// Window captures through the screenshot portal's own dialog.
#include "platform/wayland/PortalWindowCapture.h"
#include "platform/wayland/PortalScreenshot.h"

namespace lumivane {

namespace {

class PortalWindowCapture final : public ActiveWindowCapture {
public:
    explicit PortalWindowCapture(std::shared_ptr<PortalScreenshot> portal) : portal_(std::move(portal)) {}

    WindowShot activeWindow(bool /*includeFrame*/) override {
        QFuture<QImage> picked = portal_->pickedImage();
        try {
            picked.waitForFinished();
            return WindowShot{picked.result(), QRect()};
        } catch (const SnapshotError& e) {
            switch (e.kind()) {
            case SnapshotError::Kind::cancelled:
                throw WindowCaptureError(WindowCaptureError::Kind::cancelled, e.message());
            case SnapshotError::Kind::refused:
                throw WindowCaptureError(WindowCaptureError::Kind::refused, e.message());
            case SnapshotError::Kind::unavailable:
                throw WindowCaptureError(WindowCaptureError::Kind::unsupported, e.message());
            case SnapshotError::Kind::failed:
                break;
            }
            throw WindowCaptureError(WindowCaptureError::Kind::failed, e.message());
        }
    }

private:
    std::shared_ptr<PortalScreenshot> portal_;
};

} // namespace

std::unique_ptr<ActiveWindowCapture> makePortalWindowCapture(std::shared_ptr<PortalScreenshot> portal) {
    return std::make_unique<PortalWindowCapture>(std::move(portal));
}

} // namespace lumivane
