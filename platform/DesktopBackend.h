#pragma once
#include "platform/ActiveWindow.h"
#include "platform/DesktopKeyBindings.h"
#include "platform/DesktopPermissions.h"
#include "platform/GlobalKeyGrabber.h"
#include "platform/KeyboardLayout.h"
#include "platform/Screens.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QProcessEnvironment>
#include <QString>
#include <functional>
#include <memory>

namespace lumivane {

enum class WindowSystem { none, x11, wayland };

// The session's window system: XDG_SESSION_TYPE when it says "wayland" or "x11",
// else WAYLAND_DISPLAY, else DISPLAY; none without any of them.
WindowSystem sessionWindowSystem(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The Qt platform plugin the application runs on in that session ("wayland", "xcb";
// empty for none).
QByteArray qtPlatformFor(WindowSystem windowSystem);

// What the chosen window system lets the application do.
struct DesktopCapabilities {
    bool grabsGlobalKeys = false;        // system-wide key grabs of its own (X11); else a desktop service or none
    bool seesOtherWindows = false;       // the active window and other applications' windows
    bool hasWindowGeometry = false;      // where other applications' windows are on the screen
    bool slowCapture = false;            // capture is a whole-desktop round trip taking seconds: grab first,
                                         // select on the frozen image
    bool interactiveCapture = false;     // the desktop may ask the user before a capture
    bool selectsOnFrozenOutputs = false; // the area overlay shows the outputs as read when it opens, and the
                                         // selection is cut from those frames
    bool placesOwnWindows = false;       // the application may position its own top-level windows
};

// The window-system services of one session. Built once at start by
// loadDesktopBackend(); the application and the command line take everything
// window-system specific from here. Thread rules are those of each interface.
struct DesktopBackend {
    WindowSystem windowSystem = WindowSystem::none;
    DesktopCapabilities capabilities;
    std::shared_ptr<ScreenProvider> screens; // null for none
    std::shared_ptr<ScreenGrabber> grabber;  // per-screen reads; null where only snapshots exist
    // Whole-desktop screenshots: the capture where grabber is null, and where both are
    // set, the fallback once the grabber refuses (ScreenGrabber::refusal()). Null where
    // the grabber is all there is.
    std::shared_ptr<DesktopSnapshotSource> snapshots;
    std::shared_ptr<ScreenCapturePermission> capturePermission;
    // The pixels to show beneath the selection overlay of a screen when translucent
    // windows cannot show the live desktop; null image (or no function): translucent.
    std::function<QImage(const ScreenInfo&)> overlayBackdrop;
    // Each call opens a new source or grabber; the functions are absent where the
    // window system offers no such thing, and a call may still give null (no display).
    std::function<std::unique_ptr<GlobalKeyGrabber>()> makeKeyGrabber;
    // Where the desktop binds keys to commands in its own settings and takes them from
    // applications (GNOME without the GlobalShortcuts portal); absent elsewhere.
    std::function<std::unique_ptr<DesktopKeyBindings>()> makeDesktopKeyBindings;
    std::function<std::unique_ptr<ActiveWindowSource>()> makeActiveWindowSource;
    // Window captures of the active window; absent where the desktop offers none.
    std::function<std::unique_ptr<ActiveWindowCapture>()> makeActiveWindowCapture;
    // The visible top-level windows' frames, topmost first, in ScreenInfo::nativeGeometry
    // coordinates (the overlay highlights the one under the pointer); absent where the
    // desktop does not tell. UI thread; one round trip to the window system.
    std::function<std::vector<QRect>()> visibleWindowFrames;
    std::function<std::unique_ptr<WindowActivator>()> makeWindowActivator;
    std::function<std::unique_ptr<DesktopPermissions>()> makePermissions; // always set
    std::function<std::unique_ptr<KeyboardLayout>()> makeKeyboardLayout;  // absent: key labels from the US layout
    // The colour the system tray asks symbolic icons to be drawn in; absent or nothing
    // when the tray does not say. Any thread.
    std::function<std::optional<QColor>()> trayForeground;
    // Pixels of a rectangle in nativeGeometry coordinates as the screen shows them;
    // absent where other windows cannot be read back (Wayland), null image on failure.
    std::function<QImage(const QRect&)> readNativePixels;
    // Offers data on the clipboard while no window of the application has the keyboard
    // focus, where the compositor refuses such offers from the client itself (Wayland):
    // through the desktop's clipboard service. Absent where the application's own offer
    // always counts. Returns nothing once the desktop holds the data, else the reason
    // (English). UI thread; blocks for at most a few seconds.
    std::function<std::optional<QString>(const QByteArray& data, const QString& mimeType)> offerClipboardWithoutFocus;
    // English, for messages: why no window system could be reached (windowSystem none).
    QString unavailableReason;
};

// Why Qt's platform plugin for this window system could not connect (English), or
// empty when its display answers. Qt aborts the process when the plugin cannot
// connect, so callers check before creating the QGuiApplication. Any thread.
QString windowSystemUnreachableReason(WindowSystem windowSystem);

// Picks and connects the backend for this session. In a Wayland session the Wayland
// services (they need a QGuiApplication on the wayland platform); in an X11 session, or
// whenever Qt runs on xcb (also when forced there inside a Wayland session, where X11
// screen reads refuse), the X11 ones. Never null: without a reachable window system the
// backend has windowSystem none, no screens and permissions that allow nothing.
// UI thread, after the QGuiApplication exists.
std::shared_ptr<DesktopBackend> loadDesktopBackend();

} // namespace lumivane
