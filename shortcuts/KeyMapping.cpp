#include "shortcuts/KeyMapping.h"

#include "shortcuts/Shortcut.h"

#include <xkbcommon/xkbcommon.h>

namespace lumivane {

namespace {

struct KeyEntry {
    quint32 code;
    quint32 evdev; // the physical key's Linux input event code
    int qtKey;
    bool keypad;
    const char* label;
};

// Key codes name the key positions of the US ANSI keyboard; each has one evdev code.
constexpr KeyEntry kKeys[] = {
    {0, 30, Qt::Key_A, false, "A"},
    {1, 31, Qt::Key_S, false, "S"},
    {2, 32, Qt::Key_D, false, "D"},
    {3, 33, Qt::Key_F, false, "F"},
    {4, 35, Qt::Key_H, false, "H"},
    {5, 34, Qt::Key_G, false, "G"},
    {6, 44, Qt::Key_Z, false, "Z"},
    {7, 45, Qt::Key_X, false, "X"},
    {8, 46, Qt::Key_C, false, "C"},
    {9, 47, Qt::Key_V, false, "V"},
    {10, 86, Qt::Key_section, false, "§"},
    {11, 48, Qt::Key_B, false, "B"},
    {12, 16, Qt::Key_Q, false, "Q"},
    {13, 17, Qt::Key_W, false, "W"},
    {14, 18, Qt::Key_E, false, "E"},
    {15, 19, Qt::Key_R, false, "R"},
    {16, 21, Qt::Key_Y, false, "Y"},
    {17, 20, Qt::Key_T, false, "T"},
    {18, 2, Qt::Key_1, false, "1"},
    {19, 3, Qt::Key_2, false, "2"},
    {20, 4, Qt::Key_3, false, "3"},
    {21, 5, Qt::Key_4, false, "4"},
    {22, 7, Qt::Key_6, false, "6"},
    {23, 6, Qt::Key_5, false, "5"},
    {24, 13, Qt::Key_Equal, false, "="},
    {25, 10, Qt::Key_9, false, "9"},
    {26, 8, Qt::Key_7, false, "7"},
    {27, 12, Qt::Key_Minus, false, "-"},
    {28, 9, Qt::Key_8, false, "8"},
    {29, 11, Qt::Key_0, false, "0"},
    {30, 27, Qt::Key_BracketRight, false, "]"},
    {31, 24, Qt::Key_O, false, "O"},
    {32, 22, Qt::Key_U, false, "U"},
    {33, 26, Qt::Key_BracketLeft, false, "["},
    {34, 23, Qt::Key_I, false, "I"},
    {35, 25, Qt::Key_P, false, "P"},
    {36, 28, Qt::Key_Return, false, "Return"},
    {37, 38, Qt::Key_L, false, "L"},
    {38, 36, Qt::Key_J, false, "J"},
    {39, 40, Qt::Key_Apostrophe, false, "'"},
    {40, 37, Qt::Key_K, false, "K"},
    {41, 39, Qt::Key_Semicolon, false, ";"},
    {42, 43, Qt::Key_Backslash, false, "\\"},
    {43, 51, Qt::Key_Comma, false, ","},
    {44, 53, Qt::Key_Slash, false, "/"},
    {45, 49, Qt::Key_N, false, "N"},
    {46, 50, Qt::Key_M, false, "M"},
    {47, 52, Qt::Key_Period, false, "."},
    {48, 15, Qt::Key_Tab, false, "Tab"},
    {49, 57, Qt::Key_Space, false, "Space"},
    {50, 41, Qt::Key_QuoteLeft, false, "`"},
    {51, 14, Qt::Key_Backspace, false, "Delete"},
    {53, 1, Qt::Key_Escape, false, "Esc"},
    {64, 187, Qt::Key_F17, false, "F17"},
    {65, 83, Qt::Key_Period, true, "Num ."},
    {67, 55, Qt::Key_Asterisk, true, "Num *"},
    {69, 78, Qt::Key_Plus, true, "Num +"},
    {71, 69, Qt::Key_Clear, false, "Clear"},
    {75, 98, Qt::Key_Slash, true, "Num /"},
    {76, 96, Qt::Key_Enter, true, "Enter"},
    {78, 74, Qt::Key_Minus, true, "Num -"},
    {79, 188, Qt::Key_F18, false, "F18"},
    {80, 189, Qt::Key_F19, false, "F19"},
    {81, 117, Qt::Key_Equal, true, "Num ="},
    {82, 82, Qt::Key_0, true, "Num 0"},
    {83, 79, Qt::Key_1, true, "Num 1"},
    {84, 80, Qt::Key_2, true, "Num 2"},
    {85, 81, Qt::Key_3, true, "Num 3"},
    {86, 75, Qt::Key_4, true, "Num 4"},
    {87, 76, Qt::Key_5, true, "Num 5"},
    {88, 77, Qt::Key_6, true, "Num 6"},
    {89, 71, Qt::Key_7, true, "Num 7"},
    {90, 190, Qt::Key_F20, false, "F20"},
    {91, 72, Qt::Key_8, true, "Num 8"},
    {92, 73, Qt::Key_9, true, "Num 9"},
    {93, 124, Qt::Key_yen, false, "¥"},
    {94, 89, Qt::Key_Backslash, false, "\\"},
    {95, 121, Qt::Key_Comma, true, "Num ,"},
    {102, 123, 0, false, "英数"},
    {104, 122, 0, false, "かな"},
    {110, 127, Qt::Key_Menu, false, "Menu"},
    {96, 63, Qt::Key_F5, false, "F5"},
    {97, 64, Qt::Key_F6, false, "F6"},
    {98, 65, Qt::Key_F7, false, "F7"},
    {99, 61, Qt::Key_F3, false, "F3"},
    {100, 66, Qt::Key_F8, false, "F8"},
    {101, 67, Qt::Key_F9, false, "F9"},
    {103, 87, Qt::Key_F11, false, "F11"},
    {105, 183, Qt::Key_F13, false, "F13"},
    {106, 186, Qt::Key_F16, false, "F16"},
    {107, 184, Qt::Key_F14, false, "F14"},
    {109, 68, Qt::Key_F10, false, "F10"},
    {111, 88, Qt::Key_F12, false, "F12"},
    {113, 185, Qt::Key_F15, false, "F15"},
    {114, 110, Qt::Key_Insert, false, "Insert"},
    {115, 102, Qt::Key_Home, false, "Home"},
    {116, 104, Qt::Key_PageUp, false, "PageUp"},
    {117, 111, Qt::Key_Delete, false, "FnDelete"},
    {118, 62, Qt::Key_F4, false, "F4"},
    {119, 107, Qt::Key_End, false, "End"},
    {120, 60, Qt::Key_F2, false, "F2"},
    {121, 109, Qt::Key_PageDown, false, "PageDown"},
    {122, 59, Qt::Key_F1, false, "F1"},
    {123, 105, Qt::Key_Left, false, "←"},
    {124, 106, Qt::Key_Right, false, "→"},
    {125, 108, Qt::Key_Down, false, "↓"},
    {126, 103, Qt::Key_Up, false, "↑"},
};

// Shifted symbols of the US layout and the key that produces them.
constexpr std::pair<int, int> kShiftedQtKeys[] = {
    {Qt::Key_Exclam, Qt::Key_1},
    {Qt::Key_At, Qt::Key_2},
    {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4},
    {Qt::Key_Percent, Qt::Key_5},
    {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7},
    {Qt::Key_Asterisk, Qt::Key_8},
    {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0},
    {Qt::Key_Underscore, Qt::Key_Minus},
    {Qt::Key_Plus, Qt::Key_Equal},
    {Qt::Key_BraceLeft, Qt::Key_BracketLeft},
    {Qt::Key_BraceRight, Qt::Key_BracketRight},
    {Qt::Key_Colon, Qt::Key_Semicolon},
    {Qt::Key_QuoteDbl, Qt::Key_Apostrophe},
    {Qt::Key_Bar, Qt::Key_Backslash},
    {Qt::Key_Less, Qt::Key_Comma},
    {Qt::Key_Greater, Qt::Key_Period},
    {Qt::Key_Question, Qt::Key_Slash},
    {Qt::Key_AsciiTilde, Qt::Key_QuoteLeft},
    {Qt::Key_Backtab, Qt::Key_Tab},
};

// The modifier keys' positions (Command, Shift, Caps Lock, Option, Control on both
// sides, fn) and their evdev codes.
constexpr std::pair<quint32, quint32> kModifierKeys[] = {
    {54, 126}, {55, 125}, {56, 42}, {57, 58}, {58, 56}, {59, 29}, {60, 54}, {61, 100}, {62, 97}, {63, 464},
};

// Keys of PC and Japanese keyboards that have no US ANSI position.
struct NamedKey {
    quint32 evdev;
    const char* label;
};
constexpr NamedKey kNamedExtendedKeys[] = {
    {70, "ScrollLock"}, {85, "全角/半角"}, {92, "変換"},   {93, "カタカナ/ひらがな"},
    {94, "無変換"},     {99, "Print"},     {119, "Pause"}, {191, "F21"},
    {192, "F22"},       {193, "F23"},      {194, "F24"},
};

const KeyEntry* entryForCode(quint32 code) {
    for (const KeyEntry& e : kKeys)
        if (e.code == code)
            return &e;
    return nullptr;
}

constexpr quint16 kX11Shift = 1, kX11Control = 4, kX11Mod1 = 8, kX11Mod4 = 64;

} // namespace

std::optional<quint32> evdevCodeForKeyCode(quint32 keyCode) {
    if (keyCode > kExtendedKeyCodeBase && keyCode - kExtendedKeyCodeBase <= kLargestEvdevCode)
        return keyCode - kExtendedKeyCodeBase;
    if (const KeyEntry* e = entryForCode(keyCode))
        return e->evdev;
    for (const auto& [code, evdev] : kModifierKeys)
        if (code == keyCode)
            return evdev;
    return std::nullopt;
}

std::optional<quint32> keyCodeForEvdevCode(quint32 evdevCode) {
    if (evdevCode == 0 || evdevCode > kLargestEvdevCode)
        return std::nullopt;
    for (const KeyEntry& e : kKeys)
        if (e.evdev == evdevCode)
            return e.code;
    for (const auto& [code, evdev] : kModifierKeys)
        if (evdev == evdevCode)
            return code;
    return kExtendedKeyCodeBase + evdevCode;
}

std::optional<int> qtKeyForKeyCode(quint32 keyCode) {
    if (const KeyEntry* e = entryForCode(keyCode))
        return e->qtKey;
    return std::nullopt;
}

std::optional<quint32> keyCodeForQtKey(int qtKey, bool keypad) {
    for (const KeyEntry& e : kKeys)
        if (e.qtKey == qtKey && e.keypad == keypad)
            return e.code;
    if (!keypad) {
        for (const auto& [shifted, base] : kShiftedQtKeys)
            if (shifted == qtKey)
                return keyCodeForQtKey(base, false);
    }
    // Keypad events of keys without a keypad entry (e.g. arrows with NumLock off).
    if (keypad)
        return keyCodeForQtKey(qtKey, false);
    // Keys the US keyboard lacks, for events that carry no physical key.
    switch (qtKey) {
    case Qt::Key_Print:
        return kExtendedKeyCodeBase + 99; // KEY_SYSRQ
    case Qt::Key_Pause:
        return kExtendedKeyCodeBase + 119;
    case Qt::Key_ScrollLock:
        return kExtendedKeyCodeBase + 70;
    default:
        return std::nullopt;
    }
}

quint16 x11ModifierMaskForModifiers(quint32 modifiers) {
    quint16 mask = 0;
    if (modifiers & kShiftModifier)
        mask |= kX11Shift;
    if (modifiers & kControlModifier)
        mask |= kX11Control;
    if (modifiers & kAltModifier)
        mask |= kX11Mod1;
    if (modifiers & kSuperModifier)
        mask |= kX11Mod4;
    return mask;
}

quint32 modifiersForX11State(quint16 state) {
    quint32 m = 0;
    if (state & kX11Shift)
        m |= kShiftModifier;
    if (state & kX11Control)
        m |= kControlModifier;
    if (state & kX11Mod1)
        m |= kAltModifier;
    if (state & kX11Mod4)
        m |= kSuperModifier;
    return m;
}

Qt::KeyboardModifiers qtModifiersForModifiers(quint32 modifiers) {
    Qt::KeyboardModifiers m;
    if (modifiers & kShiftModifier)
        m |= Qt::ShiftModifier;
    if (modifiers & kControlModifier)
        m |= Qt::ControlModifier;
    if (modifiers & kAltModifier)
        m |= Qt::AltModifier;
    if (modifiers & kSuperModifier)
        m |= Qt::MetaModifier;
    return m;
}

quint32 modifiersForQtModifiers(Qt::KeyboardModifiers modifiers) {
    quint32 m = 0;
    if (modifiers & Qt::ShiftModifier)
        m |= kShiftModifier;
    if (modifiers & Qt::ControlModifier)
        m |= kControlModifier;
    if (modifiers & Qt::AltModifier)
        m |= kAltModifier;
    if (modifiers & Qt::MetaModifier)
        m |= kSuperModifier;
    return m;
}

namespace {

std::shared_ptr<KeyboardLayout>& activeLayout() {
    static std::shared_ptr<KeyboardLayout> layout;
    return layout;
}

// The spacing form of a dead key (what its keycap shows).
std::optional<char32_t> deadKeyCharacter(xkb_keysym_t keysym) {
    switch (keysym) {
    case XKB_KEY_dead_grave:
        return U'`';
    case XKB_KEY_dead_acute:
        return U'\u00b4';
    case XKB_KEY_dead_circumflex:
        return U'^';
    case XKB_KEY_dead_tilde:
        return U'~';
    case XKB_KEY_dead_diaeresis:
        return U'\u00a8';
    case XKB_KEY_dead_cedilla:
        return U'\u00b8';
    case XKB_KEY_dead_abovering:
        return U'\u00b0';
    default:
        return std::nullopt;
    }
}

// The character a keysym types, upper-cased letter by letter (so "ß" stays one letter).
std::optional<QString> printableLabel(xkb_keysym_t keysym) {
    char32_t c = xkb_keysym_to_utf32(keysym);
    if (!c) {
        if (auto dead = deadKeyCharacter(keysym))
            c = *dead;
    }
    if (c <= 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0))
        return std::nullopt;
    return QString::fromUcs4(&c, 1).toUpper().size() == 1 ? QString::fromUcs4(&c, 1).toUpper()
                                                          : QString::fromUcs4(&c, 1);
}

QString keysymName(xkb_keysym_t keysym) {
    char name[64];
    if (xkb_keysym_get_name(keysym, name, sizeof name) <= 0)
        return {};
    QString s = QString::fromLatin1(name);
    if (s.startsWith(QLatin1String("XF86")))
        s.remove(0, 4);
    return s;
}

} // namespace

void setKeyboardLayout(std::shared_ptr<KeyboardLayout> layout) {
    activeLayout() = std::move(layout);
}

QString keyLabel(quint32 keyCode) {
    const std::optional<quint32> evdev = evdevCodeForKeyCode(keyCode);
    // XKB_KEY_NoSymbol (0) when the layout has nothing on the key.
    const xkb_keysym_t keysym =
        evdev && activeLayout() ? activeLayout()->keysym(*evdev).value_or(XKB_KEY_NoSymbol) : XKB_KEY_NoSymbol;
    const KeyEntry* e = entryForCode(keyCode);
    // Keypad keys keep their "Num" names; other keys show what the layout types.
    if (keysym != XKB_KEY_NoSymbol && !(e && e->keypad)) {
        if (auto printable = printableLabel(keysym))
            return *printable;
    }
    if (e)
        return QString::fromUtf8(e->label);
    if (evdev) {
        for (const NamedKey& k : kNamedExtendedKeys)
            if (k.evdev == *evdev)
                return QString::fromUtf8(k.label);
        if (keysym != XKB_KEY_NoSymbol) {
            if (QString name = keysymName(keysym); !name.isEmpty())
                return name;
        }
    }
    return QStringLiteral("#%1").arg(keyCode);
}

bool isModifierKeyCode(quint32 keyCode) {
    return keyCode >= 54 && keyCode <= 63;
}

} // namespace lumivane
