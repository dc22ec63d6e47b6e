#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/X11Screens.h"

#include <QGuiApplication>

namespace lumivane {

std::shared_ptr<DesktopBackend> makeX11Backend() {
    auto x11 = X11Screens::connect();
    if (!x11)
        return nullptr;
    if (QGuiApplication::instance())
        x11->followQtScreenScales();
    auto b = std::make_shared<DesktopBackend>();
    b->windowSystem = WindowSystem::x11;
    b->capabilities.grabsGlobalKeys = true;
    b->capabilities.seesOtherWindows = true;
    b->capabilities.hasWindowGeometry = true;
    b->capabilities.placesOwnWindows = true;
    b->screens = x11;
    b->grabber = x11;
    b->capturePermission = std::make_shared<AlwaysAllowedPermission>();
    // Translucent windows show the desktop only under a compositing manager.
    b->overlayBackdrop = [x11](const ScreenInfo& screen) {
        return x11->hasCompositingManager() ? QImage() : x11->grabRoot(screen.nativeGeometry);
    };
    b->makeKeyGrabber = [] { return makeX11GlobalKeyGrabber(); };
    b->makeActiveWindowSource = [] { return makeX11ActiveWindowSource(); };
    b->makeActiveWindowCapture = [] { return makeX11ActiveWindowCapture(); };
    b->visibleWindowFrames = [] { return x11VisibleWindowFrames(); };
    b->makeWindowActivator = [] { return makeX11WindowActivator(); };
    b->makePermissions = [] { return makeX11DesktopPermissions(); };
    b->makeKeyboardLayout = [] { return makeX11KeyboardLayout(); };
    b->trayForeground = [] { return x11TrayForegroundColor(); };
    b->readNativePixels = [x11](const QRect& rect) { return x11->grabRoot(rect); };
    return b;
}

} // namespace lumivane
