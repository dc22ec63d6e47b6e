#include "platform/ActiveWindow.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowTree.h"

#include <QByteArray>
#include <QList>
#include <xcb/xcb.h>

#include <cstdlib>

namespace lumivane {

namespace {

class X11ActiveWindowSource final : public ActiveWindowSource {
public:
    X11ActiveWindowSource(xcb_connection_t* conn, xcb_window_t root) : conn_(conn), root_(root) {
        netActiveWindow_ = atom("_NET_ACTIVE_WINDOW");
        netWmPid_ = atom("_NET_WM_PID");
        gtkFrameExtents_ = atom("_GTK_FRAME_EXTENTS");
    }
    ~X11ActiveWindowSource() override { xcb_disconnect(conn_); }

    std::optional<ActiveWindowInfo> activeWindow() const override {
        std::optional<xcb_window_t> client = activeFromProperty();
        if (!client)
            client = clientOfInputFocus();
        if (!client || *client == XCB_WINDOW_NONE || *client == root_)
            return std::nullopt;

        XcbReply attributes(xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, *client), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            return std::nullopt;

        ActiveWindowInfo info;
        info.windowId = *client;
        const QByteArray wmClass = propertyBytes(*client, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        const QList<QByteArray> names = wmClass.split('\0');
        if (!names.isEmpty())
            info.instanceName = QString::fromLocal8Bit(names.value(0));
        if (names.size() > 1)
            info.className = QString::fromLocal8Bit(names.value(1));
        const auto pid = cardinals(*client, netWmPid_, 1);
        if (!pid.empty())
            info.pid = pid.front();

        const auto clientRect = rootRect(*client);
        if (!clientRect)
            return std::nullopt;
        const auto extents = cardinals(*client, gtkFrameExtents_, 4);
        if (extents.size() == 4) {
            // left, right, top, bottom: the invisible shadow around a self-decorated window
            info.nativeFrame =
                clientRect->adjusted(int(extents[0]), int(extents[2]), -int(extents[1]), -int(extents[3]));
        } else {
            const auto frame = rootRect(x11::topLevelAncestor(conn_, root_, *client));
            info.nativeFrame = frame ? *frame : *clientRect;
        }
        if (info.nativeFrame.isEmpty())
            return std::nullopt;
        return info;
    }

private:
    xcb_atom_t atom(const char* name) const { return x11::internAtom(conn_, name); }

    QByteArray propertyBytes(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const {
        if (property == XCB_ATOM_NONE)
            return {};
        XcbReply reply(
            xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, window, property, type, 0, 1024), nullptr));
        if (!reply || reply->format != 8)
            return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.p)),
                          xcb_get_property_value_length(reply.p));
    }

    std::vector<quint32> cardinals(xcb_window_t window, xcb_atom_t property, uint32_t count) const {
        return x11::cardinalProperty(conn_, window, property, XCB_ATOM_CARDINAL, count);
    }

    // The root's _NET_ACTIVE_WINDOW; none when the root does not carry the property at all.
    std::optional<xcb_window_t> activeFromProperty() const {
        if (netActiveWindow_ == XCB_ATOM_NONE)
            return std::nullopt;
        XcbReply reply(xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, root_, netActiveWindow_, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr));
        if (!reply || reply->type == XCB_ATOM_NONE)
            return std::nullopt;
        if (reply->format != 32 || xcb_get_property_value_length(reply.p) < 4)
            return XCB_WINDOW_NONE;
        return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.p));
    }

    // The focus window, or the nearest ancestor that carries WM_CLASS.
    std::optional<xcb_window_t> clientOfInputFocus() const {
        XcbReply focus(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
        if (!focus)
            return std::nullopt;
        xcb_window_t w = focus->focus;
        if (w == XCB_WINDOW_NONE || w == XCB_INPUT_FOCUS_POINTER_ROOT)
            return std::nullopt;
        while (w != XCB_WINDOW_NONE && w != root_) {
            if (!propertyBytes(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).isEmpty())
                return w;
            w = x11::parentWindow(conn_, w);
        }
        return std::nullopt;
    }

    std::optional<QRect> rootRect(xcb_window_t window) const { return x11::rectOnRoot(conn_, root_, window); }

    xcb_connection_t* conn_;
    xcb_window_t root_;
    xcb_atom_t netActiveWindow_ = XCB_ATOM_NONE;
    xcb_atom_t netWmPid_ = XCB_ATOM_NONE;
    xcb_atom_t gtkFrameExtents_ = XCB_ATOM_NONE;
};

} // namespace

std::unique_ptr<ActiveWindowSource> makeX11ActiveWindowSource() {
    xcb_screen_t* screen = nullptr;
    xcb_connection_t* conn = connectX11(&screen);
    if (!conn)
        return nullptr;
    return std::make_unique<X11ActiveWindowSource>(conn, screen->root);
}

} // namespace lumivane
