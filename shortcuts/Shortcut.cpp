#include "shortcuts/Shortcut.h"

#include "shortcuts/KeyMapping.h"

#include <QJsonValue>
#include <cmath>

namespace lumivane {

namespace {

struct KeyChar {
    quint32 code;
    char character;
};

constexpr KeyChar kKeyTable[] = {
    {0, 'A'},  {1, 'S'},  {2, 'D'},  {3, 'F'},  {4, 'H'},  {5, 'G'},  {6, 'Z'},  {7, 'X'},  {8, 'C'},
    {9, 'V'},  {11, 'B'}, {12, 'Q'}, {13, 'W'}, {14, 'E'}, {15, 'R'}, {16, 'Y'}, {17, 'T'}, {18, '1'},
    {19, '2'}, {20, '3'}, {21, '4'}, {22, '6'}, {23, '5'}, {25, '9'}, {26, '7'}, {28, '8'}, {29, '0'},
    {31, 'O'}, {32, 'U'}, {34, 'I'}, {35, 'P'}, {37, 'L'}, {38, 'J'}, {40, 'K'}, {45, 'N'}, {46, 'M'},
};

std::optional<quint32> readUInt32(const QJsonValue& v) {
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!(d >= 0) || d > 4294967295.0 || std::floor(d) != d)
        return std::nullopt;
    return static_cast<quint32>(d);
}

} // namespace

QString Shortcut::shortcutModifierSymbols() const {
    QString s;
    if (modifiers & kSuperModifier)
        s += QStringLiteral("Super+");
    if (modifiers & kControlModifier)
        s += QStringLiteral("Ctrl+");
    if (modifiers & kAltModifier)
        s += QStringLiteral("Alt+");
    if (modifiers & kShiftModifier)
        s += QStringLiteral("Shift+");
    return s;
}

QString Shortcut::displayString() const {
    return shortcutModifierSymbols() + ShortcutKeyFormatter::displayName(keyCode);
}

bool Shortcut::isStandardScreenshotKey() const {
    return *this == kDesktopScreenshotFullScreenKey || *this == kDesktopScreenshotAreaKey ||
           *this == kDesktopScreenshotWindowKey;
}

QString desktopScreenshotKeysText() {
    return kDesktopScreenshotFullScreenKey.displayString() + QStringLiteral(" / ") +
           kDesktopScreenshotAreaKey.displayString() + QStringLiteral(" / ") +
           kDesktopScreenshotWindowKey.displayString();
}

QString recommendedShortcutsText() {
    return defaultShortcut(ShortcutAction::captureFullScreen).displayString() + QStringLiteral(" / ") +
           defaultShortcut(ShortcutAction::captureArea).displayString();
}

QJsonObject Shortcut::toJson() const {
    QJsonObject o;
    o.insert("keyCode", double(keyCode));
    o.insert("modifiers", double(modifiers));
    return o;
}

std::optional<Shortcut> Shortcut::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const auto key = readUInt32(o.value("keyCode"));
    const auto mods = readUInt32(o.value("modifiers"));
    if (!key || !mods)
        return std::nullopt;
    return Shortcut{*key, *mods};
}

QString rawValue(ShortcutAction action) {
    switch (action) {
    case ShortcutAction::captureFullScreen:
        return QStringLiteral("captureFullScreen");
    case ShortcutAction::captureArea:
        return QStringLiteral("captureArea");
    case ShortcutAction::captureWindow:
        return QStringLiteral("captureWindow");
    case ShortcutAction::captureLastArea:
        return QStringLiteral("captureLastArea");
    case ShortcutAction::captureAreaText:
        return QStringLiteral("captureAreaText");
    }
    return {};
}

std::optional<ShortcutAction> shortcutActionFromRaw(const QString& raw) {
    for (ShortcutAction action : allShortcutActions)
        if (raw == rawValue(action))
            return action;
    return std::nullopt;
}

Shortcut defaultShortcut(ShortcutAction action) {
    switch (action) {
    case ShortcutAction::captureFullScreen:
        return Shortcut{18, 768};
    case ShortcutAction::captureArea:
        return Shortcut{19, 768};
    case ShortcutAction::captureWindow:
    case ShortcutAction::captureLastArea:
    case ShortcutAction::captureAreaText:
        break;
    }
    return Shortcut{};
}

namespace ShortcutKeyFormatter {

std::optional<QChar> keyCharacter(quint32 keyCode) {
    for (const KeyChar& k : kKeyTable)
        if (k.code == keyCode)
            return QChar::fromLatin1(k.character);
    return std::nullopt;
}

QString displayName(quint32 keyCode) {
    switch (keyCode) {
    case 36:
        return QStringLiteral("Return");
    case 48:
        return QStringLiteral("Tab");
    case 49:
        return QStringLiteral("Space");
    case 51:
        return QStringLiteral("Backspace");
    case 53:
        return QStringLiteral("Esc");
    case 114:
        return QStringLiteral("Insert");
    case 117:
        return QStringLiteral("Delete");
    case kPrintScreenKeyCode:
        return QStringLiteral("Print");
    case 123:
        return QStringLiteral("←");
    case 124:
        return QStringLiteral("→");
    case 125:
        return QStringLiteral("↓");
    case 126:
        return QStringLiteral("↑");
    default:
        break;
    }
    // Letters, digits and punctuation as the active layout types them; other keys by name.
    return keyLabel(keyCode);
}

std::optional<MenuKey> menuKey(quint32 keyCode) {
    if (auto c = keyCharacter(keyCode))
        return MenuKey{c->toLower(), std::nullopt};
    std::optional<SpecialMenuKey> special;
    switch (keyCode) {
    case 36:
        special = SpecialMenuKey::returnKey;
        break;
    case 49:
        special = SpecialMenuKey::space;
        break;
    case 51:
        special = SpecialMenuKey::deleteKey;
        break;
    case 53:
        special = SpecialMenuKey::escape;
        break;
    case 123:
        special = SpecialMenuKey::leftArrow;
        break;
    case 124:
        special = SpecialMenuKey::rightArrow;
        break;
    case 125:
        special = SpecialMenuKey::downArrow;
        break;
    case 126:
        special = SpecialMenuKey::upArrow;
        break;
    default:
        return std::nullopt;
    }
    return MenuKey{std::nullopt, special};
}

} // namespace ShortcutKeyFormatter
} // namespace lumivane
