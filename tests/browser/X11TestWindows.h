#pragma once
// What a window manager would do, done by hand on a manager-less Xvfb: publish the
// active window on the root, and windows of other applications to put in front.
#include <QRect>
#include <QString>
#include <optional>

typedef struct xcb_connection_t xcb_connection_t;

namespace lumivane::test {

class X11Desk {
public:
    X11Desk(); // DISPLAY
    ~X11Desk();
    X11Desk(const X11Desk&) = delete;
    X11Desk& operator=(const X11Desk&) = delete;
    bool isConnected() const { return conn_ != nullptr; }

    // Sets the root's _NET_ACTIVE_WINDOW (0 for none), typed WINDOW as managers do, or
    // CARDINAL as `xprop -set` does.
    void setActiveWindow(quint32 window, bool asCardinal = false);
    // Removes _NET_ACTIVE_WINDOW from the root altogether, as without a window manager.
    void removeActiveWindowProperty();
    void focus(quint32 window);

    // A mapped top-level window with WM_CLASS instance/className and _NET_WM_PID pid.
    quint32 createWindow(const QRect& rect, const QString& instance, const QString& className, quint32 pid = 0);
    // A frame window holding client at offset inside it, as a reparenting manager makes.
    quint32 createFrame(const QRect& rect, quint32 client, QPoint offset);
    // _GTK_FRAME_EXTENTS left, right, top, bottom.
    void setFrameExtents(quint32 window, int left, int right, int top, int bottom);
    void destroy(quint32 window);

private:
    quint32 atom(const char* name);
    void sync();
    xcb_connection_t* conn_ = nullptr;
    quint32 root_ = 0;
    quint32 rootVisual_ = 0;
};

// The visible Chromium top-level window and its geometry in root pixels (xdotool),
// waiting for it to be mapped.
struct FoundWindow {
    quint32 id = 0;
    QRect geometry;
};
std::optional<FoundWindow> findChromiumWindow(int timeoutMs = 15000);
// One look for the first visible Chromium window, without waiting.
std::optional<FoundWindow> findChromiumWindowOnce();

} // namespace lumivane::test
