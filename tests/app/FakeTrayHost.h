#pragma once
// A system tray host of the tests' own on the X server (the XEmbed tray protocol's
// manager side): a panel window of one colour that owns _NET_SYSTEM_TRAY_S0 and
// embeds the icons that ask to dock.
#include "platform/x11/X11Connection.h"

#include <QSocketNotifier>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace lumivane::test {

class FakeTrayHost {
public:
    static constexpr QRect panel{1500, 0, 420, 40};

    explicit FakeTrayHost(uint32_t colour) {
        conn = connectX11(&screen);
        if (!conn)
            return;
        window = xcb_generate_id(conn);
        const uint32_t values[] = {colour, 1u, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, window, screen->root, panel.x(), panel.y(), panel.width(),
                          panel.height(), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(conn, window);
        const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
        xcb_set_selection_owner(conn, window, selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t manager{};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = screen->root;
        manager.type = atom("MANAGER");
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = selection;
        manager.data.data32[2] = window;
        xcb_send_event(conn, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&manager));
        sync();
        opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
        notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(conn), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { handleEvents(); });
    }
    ~FakeTrayHost() {
        if (!conn)
            return;
        notifier.reset();
        xcb_set_selection_owner(conn, XCB_NONE, atom("_NET_SYSTEM_TRAY_S0"), XCB_CURRENT_TIME);
        xcb_destroy_window(conn, window);
        sync();
        xcb_disconnect(conn);
    }

    xcb_atom_t atom(const char* name) const {
        auto* r = xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    }
    void sync() const { free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }

    // The panel takes another colour, as when the desktop switches its theme.
    void setBackground(uint32_t colour) {
        xcb_change_window_attributes(conn, window, XCB_CW_BACK_PIXEL, &colour);
        xcb_clear_area(conn, 1, window, 0, 0, 0, 0);
        sync();
    }

    // Tray colours the host asks symbolic icons to use.
    void setForeground(QColor c) {
        uint32_t v[12] = {};
        v[0] = uint32_t(c.red()) * 257, v[1] = uint32_t(c.green()) * 257, v[2] = uint32_t(c.blue()) * 257;
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, atom("_NET_SYSTEM_TRAY_COLORS"), XCB_ATOM_CARDINAL, 32,
                            12, v);
        sync();
    }

    xcb_connection_t* conn = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_window_t window = 0;
    std::vector<xcb_window_t> docked;

private:
    void handleEvents() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(conn)) {
            if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                if (m->type == opcode && m->data.data32[1] == 0) { // SYSTEM_TRAY_REQUEST_DOCK
                    const xcb_window_t icon = m->data.data32[2];
                    const int slot = int(docked.size());
                    xcb_reparent_window(conn, icon, window, int16_t(panel.width() - 30 - 26 * slot), 9);
                    const uint32_t size[] = {22, 22};
                    xcb_configure_window(conn, icon, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
                    xcb_map_window(conn, icon);
                    sync();
                    docked.push_back(icon);
                }
            }
            free(e);
        }
    }

    xcb_atom_t opcode = XCB_ATOM_NONE;
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace lumivane::test
