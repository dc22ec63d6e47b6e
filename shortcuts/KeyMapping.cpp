#include "shortcuts/KeyMapping.h"

#include "shortcuts/Shortcut.h"

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

namespace lumivane {

namespace {

struct KeyEntry {
    quint32 code;
    quint32 keysym;
    int qtKey;
    bool keypad;
    const char* label;
};

// Key codes follow the US ANSI virtual key positions.
constexpr KeyEntry kKeys[] = {
    {0, XK_a, Qt::Key_A, false, "A"},
    {1, XK_s, Qt::Key_S, false, "S"},
    {2, XK_d, Qt::Key_D, false, "D"},
    {3, XK_f, Qt::Key_F, false, "F"},
    {4, XK_h, Qt::Key_H, false, "H"},
    {5, XK_g, Qt::Key_G, false, "G"},
    {6, XK_z, Qt::Key_Z, false, "Z"},
    {7, XK_x, Qt::Key_X, false, "X"},
    {8, XK_c, Qt::Key_C, false, "C"},
    {9, XK_v, Qt::Key_V, false, "V"},
    {10, XK_section, Qt::Key_section, false, "§"},
    {11, XK_b, Qt::Key_B, false, "B"},
    {12, XK_q, Qt::Key_Q, false, "Q"},
    {13, XK_w, Qt::Key_W, false, "W"},
    {14, XK_e, Qt::Key_E, false, "E"},
    {15, XK_r, Qt::Key_R, false, "R"},
    {16, XK_y, Qt::Key_Y, false, "Y"},
    {17, XK_t, Qt::Key_T, false, "T"},
    {18, XK_1, Qt::Key_1, false, "1"},
    {19, XK_2, Qt::Key_2, false, "2"},
    {20, XK_3, Qt::Key_3, false, "3"},
    {21, XK_4, Qt::Key_4, false, "4"},
    {22, XK_6, Qt::Key_6, false, "6"},
    {23, XK_5, Qt::Key_5, false, "5"},
    {24, XK_equal, Qt::Key_Equal, false, "="},
    {25, XK_9, Qt::Key_9, false, "9"},
    {26, XK_7, Qt::Key_7, false, "7"},
    {27, XK_minus, Qt::Key_Minus, false, "-"},
    {28, XK_8, Qt::Key_8, false, "8"},
    {29, XK_0, Qt::Key_0, false, "0"},
    {30, XK_bracketright, Qt::Key_BracketRight, false, "]"},
    {31, XK_o, Qt::Key_O, false, "O"},
    {32, XK_u, Qt::Key_U, false, "U"},
    {33, XK_bracketleft, Qt::Key_BracketLeft, false, "["},
    {34, XK_i, Qt::Key_I, false, "I"},
    {35, XK_p, Qt::Key_P, false, "P"},
    {36, XK_Return, Qt::Key_Return, false, "Return"},
    {37, XK_l, Qt::Key_L, false, "L"},
    {38, XK_j, Qt::Key_J, false, "J"},
    {39, XK_apostrophe, Qt::Key_Apostrophe, false, "'"},
    {40, XK_k, Qt::Key_K, false, "K"},
    {41, XK_semicolon, Qt::Key_Semicolon, false, ";"},
    {42, XK_backslash, Qt::Key_Backslash, false, "\\"},
    {43, XK_comma, Qt::Key_Comma, false, ","},
    {44, XK_slash, Qt::Key_Slash, false, "/"},
    {45, XK_n, Qt::Key_N, false, "N"},
    {46, XK_m, Qt::Key_M, false, "M"},
    {47, XK_period, Qt::Key_Period, false, "."},
    {48, XK_Tab, Qt::Key_Tab, false, "Tab"},
    {49, XK_space, Qt::Key_Space, false, "Space"},
    {50, XK_grave, Qt::Key_QuoteLeft, false, "`"},
    {51, XK_BackSpace, Qt::Key_Backspace, false, "Delete"},
    {53, XK_Escape, Qt::Key_Escape, false, "Esc"},
    {64, XK_F17, Qt::Key_F17, false, "F17"},
    {65, XK_KP_Decimal, Qt::Key_Period, true, "Num ."},
    {67, XK_KP_Multiply, Qt::Key_Asterisk, true, "Num *"},
    {69, XK_KP_Add, Qt::Key_Plus, true, "Num +"},
    {71, XK_Clear, Qt::Key_Clear, false, "Clear"},
    {75, XK_KP_Divide, Qt::Key_Slash, true, "Num /"},
    {76, XK_KP_Enter, Qt::Key_Enter, true, "Enter"},
    {78, XK_KP_Subtract, Qt::Key_Minus, true, "Num -"},
    {79, XK_F18, Qt::Key_F18, false, "F18"},
    {80, XK_F19, Qt::Key_F19, false, "F19"},
    {81, XK_KP_Equal, Qt::Key_Equal, true, "Num ="},
    {82, XK_KP_0, Qt::Key_0, true, "Num 0"},
    {83, XK_KP_1, Qt::Key_1, true, "Num 1"},
    {84, XK_KP_2, Qt::Key_2, true, "Num 2"},
    {85, XK_KP_3, Qt::Key_3, true, "Num 3"},
    {86, XK_KP_4, Qt::Key_4, true, "Num 4"},
    {87, XK_KP_5, Qt::Key_5, true, "Num 5"},
    {88, XK_KP_6, Qt::Key_6, true, "Num 6"},
    {89, XK_KP_7, Qt::Key_7, true, "Num 7"},
    {90, XK_F20, Qt::Key_F20, false, "F20"},
    {91, XK_KP_8, Qt::Key_8, true, "Num 8"},
    {92, XK_KP_9, Qt::Key_9, true, "Num 9"},
    {96, XK_F5, Qt::Key_F5, false, "F5"},
    {97, XK_F6, Qt::Key_F6, false, "F6"},
    {98, XK_F7, Qt::Key_F7, false, "F7"},
    {99, XK_F3, Qt::Key_F3, false, "F3"},
    {100, XK_F8, Qt::Key_F8, false, "F8"},
    {101, XK_F9, Qt::Key_F9, false, "F9"},
    {103, XK_F11, Qt::Key_F11, false, "F11"},
    {105, XK_Print, Qt::Key_Print, false, "Print"},
    {106, XK_F16, Qt::Key_F16, false, "F16"},
    {107, XK_F14, Qt::Key_F14, false, "F14"},
    {109, XK_F10, Qt::Key_F10, false, "F10"},
    {111, XK_F12, Qt::Key_F12, false, "F12"},
    {113, XK_F15, Qt::Key_F15, false, "F15"},
    {114, XK_Insert, Qt::Key_Insert, false, "Help"},
    {115, XK_Home, Qt::Key_Home, false, "Home"},
    {116, XK_Page_Up, Qt::Key_PageUp, false, "PageUp"},
    {117, XK_Delete, Qt::Key_Delete, false, "FnDelete"},
    {118, XK_F4, Qt::Key_F4, false, "F4"},
    {119, XK_End, Qt::Key_End, false, "End"},
    {120, XK_F2, Qt::Key_F2, false, "F2"},
    {121, XK_Page_Down, Qt::Key_PageDown, false, "PageDown"},
    {122, XK_F1, Qt::Key_F1, false, "F1"},
    {123, XK_Left, Qt::Key_Left, false, "←"},
    {124, XK_Right, Qt::Key_Right, false, "→"},
    {125, XK_Down, Qt::Key_Down, false, "↓"},
    {126, XK_Up, Qt::Key_Up, false, "↑"},
};

// Shifted symbols of the US layout and the key that produces them.
constexpr std::pair<int, int> kShiftedQtKeys[] = {
    {Qt::Key_Exclam, Qt::Key_1},        {Qt::Key_At, Qt::Key_2},           {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4},        {Qt::Key_Percent, Qt::Key_5},      {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7},     {Qt::Key_Asterisk, Qt::Key_8},     {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0},    {Qt::Key_Underscore, Qt::Key_Minus}, {Qt::Key_Plus, Qt::Key_Equal},
    {Qt::Key_BraceLeft, Qt::Key_BracketLeft}, {Qt::Key_BraceRight, Qt::Key_BracketRight},
    {Qt::Key_Colon, Qt::Key_Semicolon}, {Qt::Key_QuoteDbl, Qt::Key_Apostrophe}, {Qt::Key_Bar, Qt::Key_Backslash},
    {Qt::Key_Less, Qt::Key_Comma},      {Qt::Key_Greater, Qt::Key_Period}, {Qt::Key_Question, Qt::Key_Slash},
    {Qt::Key_AsciiTilde, Qt::Key_QuoteLeft}, {Qt::Key_Backtab, Qt::Key_Tab},
};

const KeyEntry* entryForCode(quint32 code) {
    for (const KeyEntry& e : kKeys)
        if (e.code == code) return &e;
    return nullptr;
}

constexpr quint16 kX11Shift = 1, kX11Control = 4, kX11Mod1 = 8, kX11Mod4 = 64;

} // namespace

std::optional<quint32> x11KeysymForKeyCode(quint32 keyCode) {
    if (const KeyEntry* e = entryForCode(keyCode)) return e->keysym;
    return std::nullopt;
}

std::optional<quint32> keyCodeForX11Keysym(quint32 keysym) {
    if (keysym >= XK_A && keysym <= XK_Z) keysym += XK_a - XK_A;
    for (const KeyEntry& e : kKeys)
        if (e.keysym == keysym) return e.code;
    return std::nullopt;
}

std::optional<int> qtKeyForKeyCode(quint32 keyCode) {
    if (const KeyEntry* e = entryForCode(keyCode)) return e->qtKey;
    return std::nullopt;
}

std::optional<quint32> keyCodeForQtKey(int qtKey, bool keypad) {
    for (const KeyEntry& e : kKeys)
        if (e.qtKey == qtKey && e.keypad == keypad) return e.code;
    if (!keypad) {
        for (const auto& [shifted, base] : kShiftedQtKeys)
            if (shifted == qtKey) return keyCodeForQtKey(base, false);
    }
    // Keypad events of keys without a keypad entry (e.g. arrows with NumLock off).
    if (keypad) return keyCodeForQtKey(qtKey, false);
    return std::nullopt;
}

quint16 x11ModifierMaskForModifiers(quint32 modifiers) {
    quint16 mask = 0;
    if (modifiers & kShiftModifier) mask |= kX11Shift;
    if (modifiers & kControlModifier) mask |= kX11Control;
    if (modifiers & kOptionModifier) mask |= kX11Mod1;
    if (modifiers & kCommandModifier) mask |= kX11Mod4;
    return mask;
}

quint32 modifiersForX11State(quint16 state) {
    quint32 m = 0;
    if (state & kX11Shift) m |= kShiftModifier;
    if (state & kX11Control) m |= kControlModifier;
    if (state & kX11Mod1) m |= kOptionModifier;
    if (state & kX11Mod4) m |= kCommandModifier;
    return m;
}

Qt::KeyboardModifiers qtModifiersForModifiers(quint32 modifiers) {
    Qt::KeyboardModifiers m;
    if (modifiers & kShiftModifier) m |= Qt::ShiftModifier;
    if (modifiers & kControlModifier) m |= Qt::ControlModifier;
    if (modifiers & kOptionModifier) m |= Qt::AltModifier;
    if (modifiers & kCommandModifier) m |= Qt::MetaModifier;
    return m;
}

quint32 modifiersForQtModifiers(Qt::KeyboardModifiers modifiers) {
    quint32 m = 0;
    if (modifiers & Qt::ShiftModifier) m |= kShiftModifier;
    if (modifiers & Qt::ControlModifier) m |= kControlModifier;
    if (modifiers & Qt::AltModifier) m |= kOptionModifier;
    if (modifiers & Qt::MetaModifier) m |= kCommandModifier;
    return m;
}

QString fallbackKeyLabel(quint32 keyCode) {
    if (const KeyEntry* e = entryForCode(keyCode)) return QString::fromUtf8(e->label);
    return QStringLiteral("#%1").arg(keyCode);
}

bool isModifierKeyCode(quint32 keyCode) { return keyCode >= 54 && keyCode <= 63; }

} // namespace lumivane
