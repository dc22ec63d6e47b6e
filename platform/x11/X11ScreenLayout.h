#pragma once
#include <QRect>
#include <QtGlobal>
#include <optional>
#include <vector>
#include <xcb/xcb.h>

// How the X server lays out its monitors and what the desktop reserves of them,
// read from RandR and the root window's properties. Rectangles are in root-window
// pixels. Any thread, on a connection the caller does not share meanwhile.
namespace lumivane::X11ScreenLayout {

struct Monitor {
    QRect native;
    bool primary = false;
    quint32 id = 0;
    bool automatic = true;
};

// The RandR monitors; the whole root when RandR lists none.
std::vector<Monitor> monitors(xcb_connection_t* conn, xcb_screen_t* screen);
// The primary monitor, else the one at the origin, else the first.
const Monitor& mainMonitor(const std::vector<Monitor>& monitors);
// The window manager's work area of the current desktop (_NET_WORKAREA); nothing when unset.
std::optional<QRect> workArea(xcb_connection_t* conn, xcb_screen_t* screen);
// Space reserved by docks and panels (_NET_WM_STRUT_PARTIAL, else _NET_WM_STRUT) of the
// mapped top-level windows (the managed clients, or the root's children when no window
// manager lists them).
std::vector<QRect> struts(xcb_connection_t* conn, xcb_screen_t* screen);
// A monitor without the panels along its edges and outside the work area.
QRect visibleArea(const QRect& monitor, const std::optional<QRect>& area, const std::vector<QRect>& struts);
// The desktop's Xft.dpi (RESOURCE_MANAGER of the root window); nothing when unset.
std::optional<double> xftDpi(xcb_connection_t* conn, xcb_screen_t* screen);
// XCB_ATOM_NONE when the server has no such atom.
xcb_atom_t atom(xcb_connection_t* conn, const char* name);

} // namespace lumivane::X11ScreenLayout
