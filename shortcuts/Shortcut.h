#pragma once
#include <QJsonObject>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

namespace lumivane {

// Modifier mask bits of a stored shortcut; the values are those of saved settings.
inline constexpr quint32 kSuperModifier = 256;
inline constexpr quint32 kShiftModifier = 512;
inline constexpr quint32 kAltModifier = 2048;
inline constexpr quint32 kControlModifier = 4096;

// A physical key (see KeyMapping.h: US ANSI positions, e.g. 18 is the key of "1") and a modifier mask.
struct Shortcut {
    quint32 keyCode = 0;
    quint32 modifiers = 0;

    // Names of the set modifier bits as the Linux desktops write them, each
    // followed by "+", in the order Super, Ctrl, Alt, Shift ("Super+Shift+").
    QString shortcutModifierSymbols() const;
    // How a key is shown everywhere (menu, settings, banners, messages): the
    // modifier names followed by the key name, e.g. "Super+Shift+1".
    QString displayString() const;
    // True for the desktop's own screenshot keys: Print, Shift+Print and Alt+Print exactly.
    bool isStandardScreenshotKey() const;

    QJsonObject toJson() const;
    // Both members required, each an unsigned 32-bit integer.
    static std::optional<Shortcut> fromJson(const QJsonValue& value);

    // No key at all: the action has no hot key (optional actions start so).
    bool isEmpty() const { return keyCode == 0 && modifiers == 0; }

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

// The key code of the Print Screen key (the position of F13 on the extended layout).
// Keys beyond the US positions are 0x10000 plus their evdev code (KEY_SYSRQ is 99).
inline constexpr quint32 kPrintScreenKeyCode = 0x10000 + 99;
// The desktop's screenshot keys: whole screen (Print), area (Shift+Print), window (Alt+Print).
inline constexpr Shortcut kDesktopScreenshotFullScreenKey{kPrintScreenKeyCode, 0};
inline constexpr Shortcut kDesktopScreenshotAreaKey{kPrintScreenKeyCode, kShiftModifier};
inline constexpr Shortcut kDesktopScreenshotWindowKey{kPrintScreenKeyCode, kAltModifier};
// "Print / Shift+Print / Alt+Print"
QString desktopScreenshotKeysText();

inline size_t qHash(const Shortcut& s, size_t seed = 0) {
    return ::qHash((quint64(s.keyCode) << 32) | s.modifiers, seed);
}

enum class ShortcutAction { captureFullScreen, captureArea, captureWindow, captureLastArea, captureAreaText };
inline constexpr std::array<ShortcutAction, 5> allShortcutActions = {
    ShortcutAction::captureFullScreen, ShortcutAction::captureArea, ShortcutAction::captureWindow,
    ShortcutAction::captureLastArea, ShortcutAction::captureAreaText};

QString rawValue(ShortcutAction action);
std::optional<ShortcutAction> shortcutActionFromRaw(const QString& raw);
// Default and recommended shortcut of an action (Super+Shift+1, Super+Shift+2; none
// for the window, last-area and text captures).
// "Super+Shift+1 / Super+Shift+2"
QString recommendedShortcutsText();
Shortcut defaultShortcut(ShortcutAction action);

// Key names and menu keys of key codes.
namespace ShortcutKeyFormatter {

// The character of a letter or digit key (upper case), if the code is one.
std::optional<QChar> keyCharacter(quint32 keyCode);
QString displayName(quint32 keyCode);

enum class SpecialMenuKey { returnKey, space, deleteKey, escape, leftArrow, rightArrow, downArrow, upArrow };
struct MenuKey {
    std::optional<QChar> character;        // lower-cased letter or digit
    std::optional<SpecialMenuKey> special; // otherwise one of the special keys
};
std::optional<MenuKey> menuKey(quint32 keyCode);

} // namespace ShortcutKeyFormatter
} // namespace lumivane
