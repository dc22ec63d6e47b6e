#include "shortcuts/GnomeAccelerator.h"
#include "platform/UsKeysymName.h"
#include "shortcuts/KeyMapping.h"

namespace lumivane {

std::optional<QString> gnomeAccelerator(const Shortcut& shortcut) {
    if (shortcut.isEmpty()) // no key, not the "A" key (code 0)
        return std::nullopt;
    const std::optional<quint32> evdev = evdevCodeForKeyCode(shortcut.keyCode);
    if (!evdev)
        return std::nullopt;
    const std::optional<QString> key = usKeysymName(*evdev);
    if (!key)
        return std::nullopt;
    QString out;
    if (shortcut.modifiers & kShiftModifier)
        out += QStringLiteral("<Shift>");
    if (shortcut.modifiers & kControlModifier)
        out += QStringLiteral("<Control>");
    if (shortcut.modifiers & kAltModifier)
        out += QStringLiteral("<Alt>");
    if (shortcut.modifiers & kSuperModifier)
        out += QStringLiteral("<Super>");
    return out + *key;
}

} // namespace lumivane
