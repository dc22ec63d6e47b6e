#include "platform/x11/X11PanelWindowHints.h"
#include "platform/x11/X11WindowTree.h"

#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <vector>
#include <xcb/xcb.h>

namespace lumivane {

using x11::internAtom;

void markX11FloatingPanel(QWindow* window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!window || !x11 || window->isVisible())
        return;
    xcb_connection_t* conn = x11->connection();
    const auto id = xcb_window_t(window->winId()); // creates the native window
    // Qt merges its own states (above, stays on top) into this list when it maps the window.
    const std::vector<xcb_atom_t> states = {internAtom(conn, "_NET_WM_STATE_SKIP_TASKBAR"),
                                            internAtom(conn, "_NET_WM_STATE_SKIP_PAGER"),
                                            internAtom(conn, "_NET_WM_STATE_STICKY")};
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, id, internAtom(conn, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        uint32_t(states.size()), states.data());
    const uint32_t allDesktops = 0xffffffffu;
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, id, internAtom(conn, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    xcb_flush(conn);
}

} // namespace lumivane
