#include "platform/DesktopPermissions.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowTree.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstdlib>

namespace lumivane {

using x11::internAtom;

namespace {

xcb_connection_t* connectDisplay(xcb_window_t* root) {
    xcb_screen_t* screen = nullptr;
    xcb_connection_t* conn = connectX11(&screen);
    if (conn)
        *root = screen->root;
    return conn;
}

class X11DesktopPermissions final : public DesktopPermissions {
public:
    X11DesktopPermissions(xcb_connection_t* conn, xcb_window_t root) : conn_(conn), root_(root) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn_, &xcb_test_id);
        hasXTest_ = ext && ext->present;
    }
    ~X11DesktopPermissions() override { xcb_disconnect(conn_); }

    bool screenCaptureAllowed() const override { return answers(); }

    bool accessibilityAllowed() const override {
        if (!hasXTest_ || !answers())
            return false;
        xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr);
        const bool ok = focus != nullptr;
        std::free(focus);
        return ok;
    }

    bool openSettingsPage(Page) override { return false; }
    // X11 has no such permission, and browser capture does not drive the browser through it.
    bool accessibilityApplies() const override { return false; }

private:
    bool answers() const {
        if (xcb_connection_has_error(conn_))
            return false;
        // A round trip: a server that went away fails here.
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, root_), nullptr);
        const bool ok = g != nullptr;
        std::free(g);
        return ok;
    }

    xcb_connection_t* conn_;
    xcb_window_t root_;
    bool hasXTest_ = false;
};

// Without a display: nothing can be read or driven.
class NoDisplayPermissions final : public DesktopPermissions {
public:
    bool screenCaptureAllowed() const override { return false; }
    bool accessibilityAllowed() const override { return false; }
    bool openSettingsPage(Page) override { return false; }
};

class X11WindowActivator final : public WindowActivator {
public:
    X11WindowActivator(xcb_connection_t* conn, xcb_window_t root) : conn_(conn), root_(root) {
        clientList_ = internAtom(conn_, "_NET_CLIENT_LIST");
        clientListStacking_ = internAtom(conn_, "_NET_CLIENT_LIST_STACKING");
        activeWindow_ = internAtom(conn_, "_NET_ACTIVE_WINDOW");
        supported_ = internAtom(conn_, "_NET_SUPPORTED");
    }
    ~X11WindowActivator() override { xcb_disconnect(conn_); }

    std::vector<ClientWindowInfo> clientWindows() const override {
        std::vector<xcb_window_t> ids = windows(clientListStacking_);
        if (!ids.empty()) {
            std::reverse(ids.begin(), ids.end());
        } else if (ids = windows(clientList_); ids.empty()) {
            ids = mappedRootChildrenTopmostFirst();
        }
        std::vector<ClientWindowInfo> result;
        for (xcb_window_t id : ids) {
            ClientWindowInfo info;
            info.windowId = id;
            const QByteArray wmClass = property(id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
            if (wmClass.isEmpty())
                continue;
            const QList<QByteArray> names = wmClass.split('\0');
            if (!names.isEmpty())
                info.instanceName = QString::fromLocal8Bit(names.value(0));
            if (names.size() > 1)
                info.className = QString::fromLocal8Bit(names.value(1));
            result.push_back(info);
        }
        return result;
    }

    bool activate(quint32 windowId) override {
        if (xcb_connection_has_error(conn_))
            return false;
        std::vector<xcb_void_cookie_t> requests;
        if (windowManagerHandlesActivation()) {
            xcb_client_message_event_t ev{};
            ev.response_type = XCB_CLIENT_MESSAGE;
            ev.format = 32;
            ev.window = windowId;
            ev.type = activeWindow_;
            ev.data.data32[0] = 2; // source: a pager, which window managers honour
            ev.data.data32[1] = XCB_CURRENT_TIME;
            requests.push_back(xcb_send_event_checked(
                conn_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                reinterpret_cast<const char*>(&ev)));
        } else {
            const uint32_t above = XCB_STACK_MODE_ABOVE;
            requests.push_back(xcb_configure_window_checked(conn_, windowId, XCB_CONFIG_WINDOW_STACK_MODE, &above));
            requests.push_back(
                xcb_set_input_focus_checked(conn_, XCB_INPUT_FOCUS_POINTER_ROOT, windowId, XCB_CURRENT_TIME));
        }
        bool ok = true;
        for (xcb_void_cookie_t c : requests) {
            xcb_generic_error_t* error = xcb_request_check(conn_, c);
            if (error)
                ok = false;
            std::free(error);
        }
        return ok;
    }

private:
    // Without a window manager the top-level windows are the root's children, the
    // topmost last.
    std::vector<xcb_window_t> mappedRootChildrenTopmostFirst() const {
        std::vector<xcb_window_t> ids;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, root_), nullptr);
        if (!tree)
            return ids;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0; --i) {
            xcb_get_window_attributes_reply_t* a =
                xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, children[i]), nullptr);
            if (a && a->map_state == XCB_MAP_STATE_VIEWABLE && !a->override_redirect)
                ids.push_back(children[i]);
            std::free(a);
        }
        std::free(tree);
        return ids;
    }

    bool windowManagerHandlesActivation() const {
        for (xcb_window_t atom : windows(supported_, XCB_ATOM_ATOM))
            if (atom == activeWindow_)
                return true;
        return false;
    }

    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) const {
        xcb_get_property_reply_t* r =
            xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, window, name, type, 0, 4096), nullptr);
        QByteArray bytes;
        if (r)
            bytes = QByteArray(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
        std::free(r);
        return bytes;
    }

    std::vector<xcb_window_t> windows(xcb_atom_t name, xcb_atom_t type = XCB_ATOM_WINDOW) const {
        std::vector<xcb_window_t> ids;
        if (name == XCB_ATOM_NONE)
            return ids;
        const QByteArray bytes = property(root_, name, type);
        const auto* p = reinterpret_cast<const uint32_t*>(bytes.constData());
        ids.assign(p, p + bytes.size() / 4);
        return ids;
    }

    xcb_connection_t* conn_;
    xcb_window_t root_;
    xcb_atom_t clientList_, clientListStacking_, activeWindow_, supported_;
};

} // namespace

std::unique_ptr<DesktopPermissions> makeX11DesktopPermissions() {
    xcb_window_t root = 0;
    if (xcb_connection_t* conn = connectDisplay(&root))
        return std::make_unique<X11DesktopPermissions>(conn, root);
    return std::make_unique<NoDisplayPermissions>();
}

std::unique_ptr<WindowActivator> makeX11WindowActivator() {
    xcb_window_t root = 0;
    if (xcb_connection_t* conn = connectDisplay(&root))
        return std::make_unique<X11WindowActivator>(conn, root);
    return nullptr;
}

} // namespace lumivane
