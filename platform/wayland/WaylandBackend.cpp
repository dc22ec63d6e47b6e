#include "platform/wayland/WaylandBackend.h"
#include "platform/GnomeKeyBindings.h"
#include "platform/wayland/PortalGlobalShortcuts.h"
#include "platform/wayland/PortalScreenshot.h"
#include "platform/wayland/PortalWindowCapture.h"
#include "platform/wayland/ScreenshotPermissionStore.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandScreens.h"
#include "platform/wayland/kwin/KWinScreenGrabber.h"
#include "platform/wayland/kwin/KWinWindowCapture.h"
#include "platform/wayland/wlroots/SwayWindows.h"
#include "platform/wayland/wlroots/WlrootsScreenGrabber.h"

#include <QDeadlineTimer>
#include <mutex>

namespace lumivane {

namespace {

// Screen capture is allowed where the compositor's own capture accepts us or the desktop
// exports the screenshot portal; the portal's permission store tells whether the user was
// asked and what they answered. Wayland hides other clients' windows and has no permission
// to reach them: accessibility does not apply (browser capture needs only the browser's
// debugging connection). The screen-capture "page" withdraws a stored refusal, so that the
// next capture asks again; there are no other pages to open.
class WaylandPermissions final : public DesktopPermissions {
public:
    // direct: the compositor's own capture, where it offers one (may be null).
    explicit WaylandPermissions(std::shared_ptr<ScreenGrabber> direct) : direct_(std::move(direct)) {}

    bool screenCaptureAllowed() const override {
        if (direct_ && direct_->refusal().isEmpty())
            return true;
        // The answer is a D-Bus round trip: asked again at most every few seconds.
        std::lock_guard guard(lock_);
        if (!checked_ || checked_->hasExpired()) {
            available_ = PortalScreenshot::isAvailable();
            checked_ = QDeadlineTimer(5000);
        }
        return available_;
    }
    ScreenCaptureConsent screenCaptureConsent() const override {
        if (direct_ && direct_->refusal().isEmpty())
            return ScreenCaptureConsent::notApplicable;
        const ScreenCaptureConsent consent = screenshot_permission::lookup(storeBus());
        // Nothing stored means "will ask" only where the desktop asks.
        if (consent == ScreenCaptureConsent::notAsked && !screenshot_permission::desktopAsksFirst())
            return ScreenCaptureConsent::notApplicable;
        return consent;
    }
    bool accessibilityAllowed() const override { return false; }
    bool accessibilityApplies() const override { return false; }
    bool openSettingsPage(Page page) override {
        if (page != Page::screenRecording || screenCaptureConsent() != ScreenCaptureConsent::denied)
            return false;
        return screenshot_permission::forget(storeBus());
    }

private:
    std::shared_ptr<ScreenGrabber> direct_;
    static QDBusConnection storeBus() {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("lumivane-permissions"));
    }
    mutable std::mutex lock_;
    mutable std::optional<QDeadlineTimer> checked_;
    mutable bool available_ = false;
};

QRectF layoutBounds(const ScreenProvider& screens) {
    QRectF bounds;
    for (const ScreenInfo& s : screens.screens())
        bounds = bounds.united(QRectF(s.nativeGeometry));
    return bounds;
}

} // namespace

std::shared_ptr<DesktopBackend> makeWaylandBackend() {
    auto b = std::make_shared<DesktopBackend>();
    b->windowSystem = WindowSystem::wayland;
    auto screens = std::make_shared<WaylandScreens>();
    b->screens = screens;
    // Where the compositor copies outputs to clients (wlroots), read them directly:
    // per-output reads in milliseconds, no portal, nobody asked. Elsewhere the screenshot
    // portal serves every desktop, slowly; where KWin reads screens for us, its grabber goes
    // first and the portal stays for when it refuses. LUMIVANE_WAYLAND_CAPTURE=portal asks
    // for the portal alone.
    const bool portalAsked = qgetenv("LUMIVANE_WAYLAND_CAPTURE") == "portal";
    if (auto direct = portalAsked ? nullptr : WlrootsScreenGrabber::connect()) {
        b->grabber = std::move(direct);
        b->capabilities.selectsOnFrozenOutputs = true;
        // sway tells its windows over its IPC socket; other wlroots compositors have no
        // common way to, so window capture is left out there.
        if (!sway_windows::socketPath().isEmpty()) {
            b->makeActiveWindowCapture = [] { return makeSwayActiveWindowCapture(); };
            b->visibleWindowFrames = [] {
                const auto tree = sway_windows::tree(sway_windows::socketPath());
                return tree ? sway_windows::visibleWindowRects(*tree) : std::vector<QRect>{};
            };
        }
    } else {
        auto portal = std::make_shared<PortalScreenshot>([screens] { return layoutBounds(*screens); });
        b->snapshots = portal;
        // Window capture: KWin's own where it authorises us; elsewhere (GNOME tells
        // applications nothing about other windows and captures none for them), and
        // where KWin refuses, the portal's dialog, in which the user picks the window.
        b->makeActiveWindowCapture = [portal] { return makePortalWindowCapture(portal); };
        if (const QDBusConnection bus = KWinScreenGrabber::sessionBus();
            !portalAsked && KWinScreenGrabber::isAvailable(bus)) {
            auto kwin = std::make_shared<KWinScreenGrabber>(bus);
            b->grabber = kwin;
            b->makeActiveWindowCapture = [kwin, portal] {
                return makeKWinActiveWindowCapture(kwin, makePortalWindowCapture(portal));
            };
        }
    }
    b->capabilities.slowCapture = !b->grabber;
    b->capabilities.interactiveCapture = b->snapshots != nullptr;
    // The portal decides per request; a refusal arrives as the request's response.
    b->capturePermission = std::make_shared<AlwaysAllowedPermission>();
    b->makePermissions = [direct = b->grabber] { return std::make_unique<WaylandPermissions>(direct); };
    b->offerClipboardWithoutFocus = offerThroughWlCopy;
    // Keys are the desktop's: its GlobalShortcuts portal binds them where it has one;
    // elsewhere the user binds the capture commands in the desktop's keyboard settings.
    if (PortalGlobalShortcuts::isAvailable())
        b->makeKeyGrabber = [] { return std::make_unique<PortalGlobalShortcuts>(PortalGlobalShortcuts::sessionBus()); };
    else if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':').contains(QStringLiteral("GNOME")))
        b->makeDesktopKeyBindings = []() -> std::unique_ptr<DesktopKeyBindings> { return GnomeKeyBindings::open(); };
    return b;
}

} // namespace lumivane
