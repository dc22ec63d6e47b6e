#pragma once
#include <xcb/xcb.h>

#include <cstdlib>

namespace lumivane {

// Owns one xcb reply (freed with free()).
template <typename T>
struct XcbReply {
    T* p = nullptr;
    explicit XcbReply(T* reply) : p(reply) {}
    ~XcbReply() { std::free(p); }
    XcbReply(const XcbReply&) = delete;
    XcbReply& operator=(const XcbReply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// A new connection to DISPLAY and its default screen; null (nothing left open)
// when the display cannot be reached.
inline xcb_connection_t* connectX11(xcb_screen_t** screen, int* screenNumberOut = nullptr) {
    int screenNumber = 0;
    xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
    if (!conn || xcb_connection_has_error(conn)) {
        if (conn)
            xcb_disconnect(conn);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(conn);
        return nullptr;
    }
    *screen = it.data;
    if (screenNumberOut)
        *screenNumberOut = screenNumber;
    return conn;
}

} // namespace lumivane
