#pragma once
#include <QRect>
#include <QtGlobal>
#include <xcb/xcb.h>

#include <optional>
#include <vector>

// Reading the X11 window tree and window properties, one round trip each.
namespace lumivane::x11 {

// The atom of a name, created when it does not exist; none when the server fails.
xcb_atom_t internAtom(xcb_connection_t* conn, const char* name);
// 32-bit values of a property of that type; exact: exactly `count` wanted (else
// nothing), else up to `count`. Nothing for the atom none.
std::vector<quint32> cardinalProperty(xcb_connection_t* conn, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                      uint32_t count, bool exact = true);
// The window's parent; none when the window is gone.
xcb_window_t parentWindow(xcb_connection_t* conn, xcb_window_t window);
// The child of the root that holds the window (its frame, under a reparenting
// window manager); the window itself when it is a child of the root.
xcb_window_t topLevelAncestor(xcb_connection_t* conn, xcb_window_t root, xcb_window_t window);
// The window's rectangle in root coordinates, without its border.
std::optional<QRect> rectOnRoot(xcb_connection_t* conn, xcb_window_t root, xcb_window_t window);

} // namespace lumivane::x11
