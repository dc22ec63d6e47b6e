#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Platform.h"

#include <QByteArray>
#include <cstdlib>

namespace lumivane {

std::optional<QColor> x11TrayForegroundColor() {
    xcb_screen_t* screen = nullptr;
    int number = 0;
    xcb_connection_t* conn = connectX11(&screen, &number);
    if (!conn)
        return std::nullopt;
    auto atom = [conn](const QByteArray& name) -> xcb_atom_t {
        auto* reply =
            xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 1, uint16_t(name.size()), name.constData()), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return a;
    };
    std::optional<QColor> colour;
    const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S" + QByteArray::number(number));
    const xcb_atom_t colours = atom("_NET_SYSTEM_TRAY_COLORS");
    if (selection != XCB_ATOM_NONE && colours != XCB_ATOM_NONE) {
        auto* owner = xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, selection), nullptr);
        if (owner && owner->owner != XCB_NONE) {
            // Twelve cardinals of 16-bit channels: foreground, error, warning, success.
            auto* prop = xcb_get_property_reply(
                conn, xcb_get_property(conn, 0, owner->owner, colours, XCB_ATOM_CARDINAL, 0, 12), nullptr);
            if (prop && prop->format == 32 && xcb_get_property_value_length(prop) >= 12) {
                const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(prop));
                colour = QColor::fromRgba64(quint16(v[0]), quint16(v[1]), quint16(v[2]));
            }
            free(prop);
        }
        free(owner);
    }
    xcb_disconnect(conn);
    return colour;
}

} // namespace lumivane
