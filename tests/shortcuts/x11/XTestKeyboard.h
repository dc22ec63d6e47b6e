#pragma once
// A second X client on the test's X server that presses keys with XTest, by keysym
// or by physical (evdev) key, and can hold grabs of its own.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <initializer_list>
#include <iterator>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace lumivane::test {

class XTestKeyboard {
public:
    XTestKeyboard() : conn(xcb_connect(nullptr, nullptr)) {
        root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
        symbols_ = xcb_key_symbols_alloc(conn);
    }
    ~XTestKeyboard() {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(conn);
    }
    // The keycode of a keysym in the keymap as it was when this client connected.
    xcb_keycode_t keycode(quint32 keysym) const {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
        const xcb_keycode_t k = codes ? codes[0] : 0;
        free(codes);
        return k;
    }
    void key(quint32 keysym, bool press) { keycodeEvent(keycode(keysym), press); }
    // Presses the keys in order and releases them in reverse.
    void chord(std::initializer_list<quint32> keysyms) {
        for (quint32 k : keysyms)
            key(k, true);
        for (auto it = std::rbegin(keysyms); it != std::rend(keysyms); ++it)
            key(*it, false);
    }
    // The same by physical key, whatever the layout types with it.
    void physicalChord(std::initializer_list<quint8> evdevCodes) {
        for (quint8 k : evdevCodes)
            keycodeEvent(xcb_keycode_t(k + 8), true);
        for (auto it = std::rbegin(evdevCodes); it != std::rend(evdevCodes); ++it)
            keycodeEvent(xcb_keycode_t(*it + 8), false);
    }
    void sync() const { free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }

    xcb_connection_t* conn;
    xcb_window_t root;

private:
    void keycodeEvent(xcb_keycode_t code, bool press) {
        xcb_test_fake_input(conn, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(conn);
        sync();
    }
    xcb_key_symbols_t* symbols_;
};

// Runs the event loop for `ms` milliseconds.
inline void pumpEvents(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace lumivane::test
