#pragma once
#include "platform/ActiveWindow.h"
#include "platform/DesktopPermissions.h"
#include "platform/GlobalKeyGrabber.h"
#include "platform/KeyboardLayout.h"

#include <QColor>
#include <memory>
#include <optional>

// The X11 implementations of the platform interfaces, each on its own xcb
// connection to DISPLAY.
namespace lumivane {

// The X11 implementation on its own xcb connection (DISPLAY); null when there is no display.
//
// The active window is the root's _NET_ACTIVE_WINDOW. Without a window manager that
// publishes it (the root has no such property) the window holding the input focus is
// used instead. The frame is the window's top-level ancestor below the root (the window
// manager's frame), or the client area less _GTK_FRAME_EXTENTS for windows that draw
// their own shadows.
std::unique_ptr<ActiveWindowSource> makeX11ActiveWindowSource();

// Window captures from the window manager's EWMH properties (_NET_ACTIVE_WINDOW,
// _NET_FRAME_EXTENTS, else the frame window it reparented the client into); rectangles
// in root pixels. Connects on first use.
std::unique_ptr<ActiveWindowCapture> makeX11ActiveWindowCapture();
// The frames of the mapped, not hidden client windows (_NET_CLIENT_LIST_STACKING, desktop
// and dock windows left out), topmost first; empty without a window manager. Own connection.
std::vector<QRect> x11VisibleWindowFrames();

// X11 on its own connection (DISPLAY). Every client may read the screen, so screen
// capture is allowed whenever the display answers. Accessibility holds when the server
// offers the XTEST extension (synthetic input) and answers the input-focus query the
// active-window lookup relies on. X11 has no permission pages: openSettingsPage is false.
// Without a display nothing is allowed.
std::unique_ptr<DesktopPermissions> makeX11DesktopPermissions();

// The X11 implementation; null without a display.
std::unique_ptr<WindowActivator> makeX11WindowActivator();

// The colour the desktop's system tray asks symbolic icons to be drawn in
// (_NET_SYSTEM_TRAY_COLORS of the tray manager of the default X screen); nothing
// when no tray runs or it does not say. Any thread (its own connection).
std::optional<QColor> x11TrayForegroundColor();

// The X11 keyboard (XKB core device) on its own connection to DISPLAY.
std::unique_ptr<KeyboardLayout> makeX11KeyboardLayout();

// The X11 implementation on its own xcb connection (DISPLAY).
std::unique_ptr<GlobalKeyGrabber> makeX11GlobalKeyGrabber();

} // namespace lumivane
