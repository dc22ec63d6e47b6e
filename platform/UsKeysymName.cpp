#include "platform/UsKeysymName.h"

#include <xkbcommon/xkbcommon.h>

namespace lumivane {

namespace {

struct UsKeymap {
    UsKeymap() {
        context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (!context)
            return;
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    ~UsKeymap() {
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
};

} // namespace

std::optional<QString> usKeysymName(quint32 evdevCode) {
    static const UsKeymap us;
    if (!us.keymap)
        return std::nullopt;
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(us.keymap, evdevCode + 8, 0, 0, &syms) < 1 || !syms)
        return std::nullopt;
    char name[64];
    if (xkb_keysym_get_name(syms[0], name, sizeof name) <= 0)
        return std::nullopt;
    return QString::fromLatin1(name);
}

} // namespace lumivane
