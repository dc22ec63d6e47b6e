#include "platform/x11/X11ScreenLayout.h"

#include <QByteArray>
#include <QByteArrayList>
#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lumivane::X11ScreenLayout {

namespace {

// 32-bit values of a window property; empty when absent.
std::vector<quint32> cardinals(xcb_connection_t* conn, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                               uint32_t count) {
    std::vector<quint32> out;
    if (property == XCB_ATOM_NONE)
        return out;
    auto* prop = xcb_get_property_reply(conn, xcb_get_property(conn, 0, window, property, type, 0, count), nullptr);
    if (!prop)
        return out;
    if (prop->format == 32) {
        const auto* v = static_cast<const quint32*>(xcb_get_property_value(prop));
        out.assign(v, v + xcb_get_property_value_length(prop) / 4);
    }
    free(prop);
    return out;
}

} // namespace

xcb_atom_t atom(xcb_connection_t* conn, const char* name) {
    auto* reply = xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 1, uint16_t(strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t a = reply->atom;
    free(reply);
    return a;
}

std::vector<Monitor> monitors(xcb_connection_t* conn, xcb_screen_t* screen) {
    std::vector<Monitor> out;
    auto cookie = xcb_randr_get_monitors(conn, screen->root, 1);
    if (auto* reply = xcb_randr_get_monitors_reply(conn, cookie, nullptr)) {
        xcb_randr_monitor_info_iterator_t it = xcb_randr_get_monitors_monitors_iterator(reply);
        for (; it.rem; xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t* m = it.data;
            if (m->width == 0 || m->height == 0)
                continue;
            out.push_back(
                {QRect(m->x, m->y, m->width, m->height), bool(m->primary), quint32(m->name), bool(m->automatic)});
        }
        free(reply);
    }
    // Monitors a user defined inside an output (xrandr --setmonitor) replace that output's own monitor.
    std::vector<Monitor> kept;
    for (const Monitor& m : out) {
        bool replaced = false;
        if (m.automatic)
            for (const Monitor& other : out)
                if (!other.automatic && m.native.contains(other.native))
                    replaced = true;
        if (!replaced)
            kept.push_back(m);
    }
    out = kept;
    if (out.empty())
        out.push_back({QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels), true, quint32(screen->root)});
    return out;
}

const Monitor& mainMonitor(const std::vector<Monitor>& ms) {
    for (const Monitor& m : ms)
        if (m.primary)
            return m;
    for (const Monitor& m : ms)
        if (m.native.contains(0, 0))
            return m;
    return ms.front();
}

std::optional<QRect> workArea(xcb_connection_t* conn, xcb_screen_t* screen) {
    const std::vector<quint32> desktop =
        cardinals(conn, screen->root, atom(conn, "_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 1);
    const quint32 index = desktop.empty() ? 0 : desktop.front();
    const std::vector<quint32> v = cardinals(conn, screen->root, atom(conn, "_NET_WORKAREA"), XCB_ATOM_CARDINAL,
                                             4 * (std::min<quint32>(index, 63) + 1));
    if (v.size() < 4 * (size_t(index) + 1))
        return std::nullopt;
    const quint32* a = v.data() + 4 * size_t(index);
    const QRect area{int(a[0]), int(a[1]), int(a[2]), int(a[3])};
    return area.isEmpty() ? std::nullopt : std::optional<QRect>(area);
}

std::vector<QRect> struts(xcb_connection_t* conn, xcb_screen_t* screen) {
    std::vector<xcb_window_t> windows;
    for (quint32 w : cardinals(conn, screen->root, atom(conn, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096))
        windows.push_back(w);
    if (auto* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, screen->root), nullptr)) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        windows.insert(windows.end(), children, children + xcb_query_tree_children_length(tree));
        free(tree);
    }
    const xcb_atom_t partial = atom(conn, "_NET_WM_STRUT_PARTIAL"), plain = atom(conn, "_NET_WM_STRUT");
    if (partial == XCB_ATOM_NONE && plain == XCB_ATOM_NONE)
        return {};
    // All requests first, then the replies: one round trip for the lot.
    std::vector<xcb_get_property_cookie_t> cookies;
    std::vector<xcb_get_window_attributes_cookie_t> attributes;
    for (xcb_window_t w : windows) {
        cookies.push_back(
            xcb_get_property(conn, 0, w, partial != XCB_ATOM_NONE ? partial : plain, XCB_ATOM_CARDINAL, 0, 12));
        attributes.push_back(xcb_get_window_attributes(conn, w));
    }
    const int rootW = screen->width_in_pixels, rootH = screen->height_in_pixels;
    std::vector<QRect> out;
    for (size_t i = 0; i < windows.size(); ++i) {
        auto* prop = xcb_get_property_reply(conn, cookies[i], nullptr);
        auto* attr = xcb_get_window_attributes_reply(conn, attributes[i], nullptr);
        const bool viewable = attr && attr->map_state == XCB_MAP_STATE_VIEWABLE;
        free(attr);
        if (!prop)
            continue;
        const int n = prop->format == 32 ? xcb_get_property_value_length(prop) / 4 : 0;
        const auto* v = static_cast<const quint32*>(xcb_get_property_value(prop));
        if (viewable && n >= 4) {
            const int left = int(v[0]), right = int(v[1]), top = int(v[2]), bottom = int(v[3]);
            const bool ranged = n >= 12;
            auto span = [&](int k, int whole) {
                return ranged ? std::pair<int, int>(int(v[k]), int(v[k + 1])) : std::pair<int, int>(0, whole - 1);
            };
            if (left > 0) {
                auto [a, b] = span(4, rootH);
                out.emplace_back(0, a, left, b - a + 1);
            }
            if (right > 0) {
                auto [a, b] = span(6, rootH);
                out.emplace_back(rootW - right, a, right, b - a + 1);
            }
            if (top > 0) {
                auto [a, b] = span(8, rootW);
                out.emplace_back(a, 0, b - a + 1, top);
            }
            if (bottom > 0) {
                auto [a, b] = span(10, rootW);
                out.emplace_back(a, rootH - bottom, b - a + 1, bottom);
            }
        }
        free(prop);
    }
    return out;
}

QRect visibleArea(const QRect& monitor, const std::optional<QRect>& area, const std::vector<QRect>& struts) {
    QRect visible = area ? (monitor & *area) : monitor;
    if (visible.isEmpty())
        visible = monitor;
    for (const QRect& s : struts) {
        const QRect overlap = visible & s;
        if (overlap.isEmpty())
            continue;
        // Cut the side of the monitor the reserved band lies against.
        if (overlap.width() == visible.width()) {
            if (overlap.top() == visible.top())
                visible.setTop(overlap.bottom() + 1);
            else if (overlap.bottom() == visible.bottom())
                visible.setBottom(overlap.top() - 1);
        } else if (overlap.height() == visible.height()) {
            if (overlap.left() == visible.left())
                visible.setLeft(overlap.right() + 1);
            else if (overlap.right() == visible.right())
                visible.setRight(overlap.left() - 1);
        }
    }
    return visible.isEmpty() ? monitor : visible;
}

std::optional<double> xftDpi(xcb_connection_t* conn, xcb_screen_t* screen) {
    auto* prop = xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, screen->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16), nullptr);
    if (!prop)
        return std::nullopt;
    const QByteArray text(static_cast<const char*>(xcb_get_property_value(prop)), xcb_get_property_value_length(prop));
    free(prop);
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith("Xft.dpi:"))
            continue;
        bool ok = false;
        const double dpi = line.mid(8).trimmed().toDouble(&ok);
        if (ok && dpi > 0)
            return dpi;
    }
    return std::nullopt;
}

} // namespace lumivane::X11ScreenLayout
