#include "X11TestWindows.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QThread>
#include <QProcess>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace lumivane::test {

X11Desk::X11Desk() {
    int screenNumber = 0;
    conn_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(conn_)) {
        xcb_disconnect(conn_);
        conn_ = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    root_ = it.data->root;
    rootVisual_ = it.data->root_visual;
}

X11Desk::~X11Desk() {
    if (conn_) xcb_disconnect(conn_);
}

quint32 X11Desk::atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, uint16_t(std::strlen(name)), name), nullptr);
    const quint32 a = reply ? reply->atom : 0;
    std::free(reply);
    return a;
}

void X11Desk::sync() {
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
}

void X11Desk::setActiveWindow(quint32 window, bool asCardinal) {
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, root_, atom("_NET_ACTIVE_WINDOW"),
                        asCardinal ? XCB_ATOM_CARDINAL : XCB_ATOM_WINDOW, 32, 1, &window);
    sync();
}

void X11Desk::removeActiveWindowProperty() {
    xcb_delete_property(conn_, root_, atom("_NET_ACTIVE_WINDOW"));
    sync();
}

void X11Desk::focus(quint32 window) {
    xcb_set_input_focus(conn_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    sync();
}

quint32 X11Desk::createWindow(const QRect& r, const QString& instance, const QString& className, quint32 pid) {
    const xcb_window_t w = xcb_generate_id(conn_);
    const uint32_t values[] = {0x336699, 1};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, w, root_, int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()),
                      uint16_t(r.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, rootVisual_,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    const QByteArray wmClass = instance.toLatin1() + '\0' + className.toLatin1() + '\0';
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(wmClass.size()), wmClass.constData());
    if (pid)
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_map_window(conn_, w);
    sync();
    return w;
}

quint32 X11Desk::createFrame(const QRect& r, quint32 client, QPoint offset) {
    const xcb_window_t frame = xcb_generate_id(conn_);
    const uint32_t values[] = {0x202020, 1};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, frame, root_, int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()),
                      uint16_t(r.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, rootVisual_,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(conn_, frame);
    xcb_reparent_window(conn_, client, frame, int16_t(offset.x()), int16_t(offset.y()));
    xcb_map_window(conn_, client);
    sync();
    return frame;
}

void X11Desk::setFrameExtents(quint32 window, int left, int right, int top, int bottom) {
    const uint32_t v[] = {uint32_t(left), uint32_t(right), uint32_t(top), uint32_t(bottom)};
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window, atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32, 4, v);
    sync();
}

void X11Desk::destroy(quint32 window) {
    xcb_destroy_window(conn_, window);
    sync();
}

std::optional<FoundWindow> findChromiumWindowOnce() {
    QProcess xdotool;
    xdotool.start("xdotool", {"search", "--onlyvisible", "--class", "chromium", "getwindowgeometry", "--shell", "%@"});
    if (!xdotool.waitForFinished(5000)) return std::nullopt;
    QHash<QString, int> values;
    for (const QByteArray& line : xdotool.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> kv = line.split('=');
        if (kv.size() == 2 && !values.contains(QString::fromLatin1(kv[0]))) // first window only
            values.insert(QString::fromLatin1(kv[0]), kv[1].toInt());
    }
    if (!values.contains("WINDOW") || !values.contains("WIDTH")) return std::nullopt;
    return FoundWindow{quint32(values["WINDOW"]),
                       QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"])};
}

std::optional<FoundWindow> findChromiumWindow(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (auto found = findChromiumWindowOnce()) return found;
        if (deadline.hasExpired()) return std::nullopt;
        QThread::msleep(100);
    }
}

} // namespace lumivane::test
