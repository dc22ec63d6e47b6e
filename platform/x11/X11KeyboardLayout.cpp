#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Platform.h"

// xcb/xkb.h names a member "explicit".
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>

namespace lumivane {

namespace {

class X11KeyboardLayout final : public KeyboardLayout {
public:
    ~X11KeyboardLayout() override {
        dropKeymap();
        if (context_)
            xkb_context_unref(context_);
        if (conn_)
            xcb_disconnect(conn_);
    }

    std::optional<quint32> keysym(quint32 evdevCode) override {
        if (!connect())
            return std::nullopt;
        drainEvents();
        if (!keymap_ && !loadKeymap())
            return std::nullopt;
        // X11 keycodes are evdev codes plus 8.
        const xkb_keycode_t key = evdevCode + 8;
        if (key < xkb_keymap_min_keycode(keymap_) || key > xkb_keymap_max_keycode(keymap_))
            return std::nullopt;
        const xkb_layout_index_t group = xkb_state_key_get_layout(state_, key);
        if (group == XKB_LAYOUT_INVALID)
            return std::nullopt;
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap_, key, group, 0, &syms) < 1 || syms[0] == XKB_KEY_NoSymbol)
            return std::nullopt;
        return syms[0];
    }

private:
    bool connect() {
        if (conn_)
            return deviceId_ >= 0;
        xcb_screen_t* screen = nullptr;
        conn_ = connectX11(&screen);
        if (!conn_)
            return false;
        if (!xkb_x11_setup_xkb_extension(conn_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                         XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase_, nullptr))
            return false;
        deviceId_ = xkb_x11_get_core_keyboard_device_id(conn_);
        context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (deviceId_ < 0 || !context_) {
            deviceId_ = -1;
            return false;
        }
        // Layout switches and new keymaps (setxkbmap) arrive as XKB events.
        constexpr uint16_t events =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
        constexpr uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                      XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                      XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                      XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
        xcb_xkb_select_events_details_t details{};
        details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
        details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
        details.affectState =
            XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH | XCB_XKB_STATE_PART_GROUP_LOCK;
        details.stateDetails = details.affectState;
        xcb_xkb_select_events_aux(conn_, xcb_xkb_device_spec_t(deviceId_), events, 0, 0, mapParts, mapParts, &details);
        xcb_flush(conn_);
        return true;
    }

    void drainEvents() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
            if ((event->response_type & 0x7f) == eventBase_)
                dropKeymap();
            free(event);
        }
    }

    bool loadKeymap() {
        keymap_ = xkb_x11_keymap_new_from_device(context_, conn_, deviceId_, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (keymap_)
            state_ = xkb_x11_state_new_from_device(keymap_, conn_, deviceId_);
        if (!state_)
            dropKeymap();
        return state_ != nullptr;
    }

    void dropKeymap() {
        if (state_)
            xkb_state_unref(state_);
        if (keymap_)
            xkb_keymap_unref(keymap_);
        state_ = nullptr;
        keymap_ = nullptr;
    }

    xcb_connection_t* conn_ = nullptr;
    int32_t deviceId_ = -1;
    uint8_t eventBase_ = 0;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
};

} // namespace

std::unique_ptr<KeyboardLayout> makeX11KeyboardLayout() {
    return std::make_unique<X11KeyboardLayout>();
}

} // namespace lumivane
