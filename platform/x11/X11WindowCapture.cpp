// The active window's rectangle for window captures, and the visible windows for the
// area overlay, read from the window manager's EWMH properties.
#include "platform/ActiveWindow.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/X11WindowTree.h"

#include <QByteArray>
#include <xcb/xcb.h>

#include <mutex>

namespace lumivane {

namespace {

class X11Windows {
public:
    X11Windows(xcb_connection_t* conn, xcb_window_t root) : conn_(conn), root_(root) {
        netActiveWindow_ = atom("_NET_ACTIVE_WINDOW");
        netFrameExtents_ = atom("_NET_FRAME_EXTENTS");
        gtkFrameExtents_ = atom("_GTK_FRAME_EXTENTS");
        clientListStacking_ = atom("_NET_CLIENT_LIST_STACKING");
        windowType_ = atom("_NET_WM_WINDOW_TYPE");
        typeDesktop_ = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
        typeDock_ = atom("_NET_WM_WINDOW_TYPE_DOCK");
        netWmState_ = atom("_NET_WM_STATE");
        stateHidden_ = atom("_NET_WM_STATE_HIDDEN");
    }
    ~X11Windows() { xcb_disconnect(conn_); }
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    std::optional<xcb_window_t> activeWindow() const {
        const auto v = cardinals(root_, netActiveWindow_, XCB_ATOM_WINDOW, 1);
        if (v.empty() || v.front() == XCB_WINDOW_NONE || v.front() == root_)
            return std::nullopt;
        return v.front();
    }

    // The window on the screen: its client area, or with the window manager's frame
    // (_NET_FRAME_EXTENTS, else the frame window the manager reparented it into). A
    // window that draws its own decorations leaves out the shadow it declares.
    std::optional<QRect> windowRect(xcb_window_t client, bool includeFrame) const {
        XcbReply attributes(xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, client), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            return std::nullopt;
        const auto clientRect = rootRect(client);
        if (!clientRect)
            return std::nullopt;
        QRect r = *clientRect;
        if (const auto gtk = cardinals(client, gtkFrameExtents_, XCB_ATOM_CARDINAL, 4); gtk.size() == 4)
            r = r.adjusted(int(gtk[0]), int(gtk[2]), -int(gtk[1]), -int(gtk[3]));
        else if (includeFrame) {
            if (const auto e = cardinals(client, netFrameExtents_, XCB_ATOM_CARDINAL, 4); e.size() == 4)
                r = r.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
            else if (const auto frame = rootRect(x11::topLevelAncestor(conn_, root_, client)))
                r = *frame;
        }
        if (r.isEmpty())
            return std::nullopt;
        return r;
    }

    std::vector<QRect> visibleFrames() const {
        std::vector<QRect> out;
        // Bottom to top: the topmost goes first.
        const auto stacking = cardinals(root_, clientListStacking_, XCB_ATOM_WINDOW, 4096, false);
        for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
            if (hasAny(*it, windowType_, XCB_ATOM_ATOM, {typeDesktop_, typeDock_}) ||
                hasAny(*it, netWmState_, XCB_ATOM_ATOM, {stateHidden_}))
                continue;
            if (const auto r = windowRect(*it, true))
                out.push_back(*r);
        }
        return out;
    }

private:
    xcb_atom_t atom(const char* name) const { return x11::internAtom(conn_, name); }

    std::vector<quint32> cardinals(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint32_t count,
                                   bool exact = true) const {
        return x11::cardinalProperty(conn_, window, property, type, count, exact);
    }

    bool hasAny(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                std::initializer_list<xcb_atom_t> atoms) const {
        for (quint32 a : cardinals(window, property, type, 64, false))
            for (xcb_atom_t wanted : atoms)
                if (wanted != XCB_ATOM_NONE && a == wanted)
                    return true;
        return false;
    }

    std::optional<QRect> rootRect(xcb_window_t window) const { return x11::rectOnRoot(conn_, root_, window); }

    xcb_connection_t* conn_;
    xcb_window_t root_;
    xcb_atom_t netActiveWindow_, netFrameExtents_, gtkFrameExtents_, clientListStacking_, windowType_, typeDesktop_,
        typeDock_, netWmState_, stateHidden_;
};

std::unique_ptr<X11Windows> connectWindows() {
    xcb_screen_t* screen = nullptr;
    xcb_connection_t* conn = connectX11(&screen);
    if (!conn)
        return nullptr;
    return std::make_unique<X11Windows>(conn, screen->root);
}

class X11ActiveWindowCapture final : public ActiveWindowCapture {
public:
    WindowShot activeWindow(bool includeFrame) override {
        std::lock_guard guard(lock_);
        if (!windows_)
            windows_ = connectWindows();
        if (!windows_)
            throw WindowCaptureError(WindowCaptureError::Kind::failed,
                                     QStringLiteral("the X display cannot be reached"));
        const auto window = windows_->activeWindow();
        if (!window)
            throw WindowCaptureError(WindowCaptureError::Kind::noWindow,
                                     QStringLiteral("the window manager names no active window"));
        const auto rect = windows_->windowRect(*window, includeFrame);
        if (!rect)
            throw WindowCaptureError(WindowCaptureError::Kind::noWindow,
                                     QStringLiteral("the active window 0x%1 is not on the screen").arg(*window, 0, 16));
        return WindowShot{QImage(), *rect};
    }

private:
    std::mutex lock_;
    std::unique_ptr<X11Windows> windows_;
};

} // namespace

std::unique_ptr<ActiveWindowCapture> makeX11ActiveWindowCapture() {
    return std::make_unique<X11ActiveWindowCapture>();
}

std::vector<QRect> x11VisibleWindowFrames() {
    const auto windows = connectWindows();
    return windows ? windows->visibleFrames() : std::vector<QRect>{};
}

} // namespace lumivane
