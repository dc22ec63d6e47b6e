#include "platform/x11/X11WindowTree.h"
#include "platform/x11/X11Connection.h"

#include <algorithm>
#include <cstring>

namespace lumivane::x11 {

xcb_atom_t internAtom(xcb_connection_t* conn, const char* name) {
    XcbReply reply(
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<quint32> cardinalProperty(xcb_connection_t* conn, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                      uint32_t count, bool exact) {
    if (property == XCB_ATOM_NONE)
        return {};
    XcbReply reply(xcb_get_property_reply(conn, xcb_get_property(conn, 0, window, property, type, 0, count), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const int n = xcb_get_property_value_length(reply.p) / 4;
    if (exact && n < int(count))
        return {};
    const auto* v = static_cast<const quint32*>(xcb_get_property_value(reply.p));
    return std::vector<quint32>(v, v + std::min<int>(n, int(count)));
}

xcb_window_t parentWindow(xcb_connection_t* conn, xcb_window_t window) {
    XcbReply tree(xcb_query_tree_reply(conn, xcb_query_tree(conn, window), nullptr));
    return tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_window_t topLevelAncestor(xcb_connection_t* conn, xcb_window_t root, xcb_window_t window) {
    for (int depth = 0; depth < 64; ++depth) {
        const xcb_window_t parent = parentWindow(conn, window);
        if (parent == XCB_WINDOW_NONE || parent == root)
            break;
        window = parent;
    }
    return window;
}

std::optional<QRect> rectOnRoot(xcb_connection_t* conn, xcb_window_t root, xcb_window_t window) {
    XcbReply geometry(xcb_get_geometry_reply(conn, xcb_get_geometry(conn, window), nullptr));
    if (!geometry)
        return std::nullopt;
    XcbReply origin(
        xcb_translate_coordinates_reply(conn, xcb_translate_coordinates(conn, window, root, 0, 0), nullptr));
    if (!origin)
        return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

} // namespace lumivane::x11
