#include "platform/wayland/WaylandBackend.h"
#include "platform/wayland/PortalGlobalShortcuts.h"
#include "platform/wayland/PortalScreenshot.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandScreens.h"
#include "platform/wayland/wlroots/WlrootsScreenGrabber.h"

#include <QDeadlineTimer>
#include <mutex>

namespace lumivane {

namespace {

// Screen capture is allowed where the desktop exports the screenshot portal (whether it
// will ask the user is the desktop's business). Wayland hides other clients' windows and
// has no permission to reach them: accessibility does not apply (browser capture needs
// only the browser's debugging connection), and there are no permission pages to open.
class WaylandPermissions final : public DesktopPermissions {
public:
    bool screenCaptureAllowed() const override {
        // The answer is a D-Bus round trip: asked again at most every few seconds.
        std::lock_guard guard(lock_);
        if (!checked_ || checked_->hasExpired()) {
            available_ = PortalScreenshot::isAvailable();
            checked_ = QDeadlineTimer(5000);
        }
        return available_;
    }
    bool accessibilityAllowed() const override { return false; }
    bool accessibilityApplies() const override { return false; }
    bool openSettingsPage(Page) override { return false; }

private:
    mutable std::mutex lock_;
    mutable std::optional<QDeadlineTimer> checked_;
    mutable bool available_ = false;
};

// Where the compositor copies outputs to clients itself, the screen may always be read.
class DirectCapturePermissions final : public DesktopPermissions {
public:
    explicit DirectCapturePermissions(std::unique_ptr<DesktopPermissions> rest) : rest_(std::move(rest)) {}
    bool screenCaptureAllowed() const override { return true; }
    bool accessibilityAllowed() const override { return rest_->accessibilityAllowed(); }
    bool accessibilityApplies() const override { return rest_->accessibilityApplies(); }
    bool openSettingsPage(Page page) override { return rest_->openSettingsPage(page); }

private:
    std::unique_ptr<DesktopPermissions> rest_;
};

QRectF layoutBounds(const ScreenProvider& screens) {
    QRectF bounds;
    for (const ScreenInfo& s : screens.screens()) bounds = bounds.united(QRectF(s.nativeGeometry));
    return bounds;
}

} // namespace

std::shared_ptr<DesktopBackend> makeWaylandBackend() {
    auto b = std::make_shared<DesktopBackend>();
    b->windowSystem = WindowSystem::wayland;
    b->capabilities.slowCapture = true;
    b->capabilities.interactiveCapture = true;
    auto screens = std::make_shared<WaylandScreens>();
    b->screens = screens;
    b->snapshots = std::make_shared<PortalScreenshot>([screens] { return layoutBounds(*screens); });
    // The portal decides per request; a refusal arrives as the request's response.
    b->capturePermission = std::make_shared<AlwaysAllowedPermission>();
    b->makePermissions = [] { return std::make_unique<WaylandPermissions>(); };
    b->offerClipboardWithoutFocus = offerThroughWlCopy;
    // Keys are the desktop's: its GlobalShortcuts portal binds them where it has one;
    // elsewhere the user binds the capture commands in the desktop's keyboard settings.
    if (PortalGlobalShortcuts::isAvailable())
        b->makeKeyGrabber = [] { return std::make_unique<PortalGlobalShortcuts>(PortalGlobalShortcuts::sessionBus()); };

    // If the compositor offers direct capture (wlroots), use it: per-output reads in
    // milliseconds, no portal, nobody asked. The portal stays where it does not, and
    // where LUMIVANE_WAYLAND_CAPTURE=portal asks for it.
    const bool portalAsked = qgetenv("LUMIVANE_WAYLAND_CAPTURE") == "portal";
    if (auto direct = portalAsked ? nullptr : WlrootsScreenGrabber::connect()) {
        b->grabber = std::move(direct);
        b->snapshots.reset();
        b->capabilities.slowCapture = false;
        b->capabilities.interactiveCapture = false;
        b->capabilities.selectsOnFrozenOutputs = true;
        auto portalPermissions = b->makePermissions;
        b->makePermissions = [portalPermissions] { return std::make_unique<DirectCapturePermissions>(portalPermissions()); };
    }
    return b;
}

} // namespace lumivane
