#pragma once
// Paints rectangles of the X root window in RGB colours, on a connection of its own.
#include <QRect>
#include <QRgb>
#include <cstdlib>
#include <gtest/gtest.h>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace lumivane::test {

inline void fillRoot(const std::vector<std::pair<QRect, QRgb>>& rects) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    for (const auto& [r, rgb] : rects) {
        auto* reply = xcb_alloc_color_reply(
            c, xcb_alloc_color(c, screen->default_colormap, qRed(rgb) * 257, qGreen(rgb) * 257, qBlue(rgb) * 257),
            nullptr);
        ASSERT_NE(reply, nullptr);
        const xcb_gcontext_t gc = xcb_generate_id(c);
        const uint32_t values[] = {reply->pixel, XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS};
        xcb_create_gc(c, gc, screen->root, XCB_GC_FOREGROUND | XCB_GC_SUBWINDOW_MODE, values);
        const xcb_rectangle_t xr{int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height())};
        xcb_poly_fill_rectangle(c, screen->root, gc, 1, &xr);
        xcb_free_gc(c, gc);
        free(reply);
    }
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

} // namespace lumivane::test
