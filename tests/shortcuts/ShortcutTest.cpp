#include "shortcuts/Shortcut.h"
#include "shortcuts/KeyMapping.h"

#include <QJsonObject>
#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

using namespace lumivane;

// Keys are written one way everywhere, as the Linux desktops write them.
TEST(ShortcutFormatting, ModifierNamesFollowSuperCtrlAltShift) {
    // Every combination of the four, named in the order Super, Ctrl, Alt, Shift.
    const std::pair<quint32, const char*> order[] = {{256, "Super+"}, {4096, "Ctrl+"}, {2048, "Alt+"}, {512, "Shift+"}};
    for (quint32 combination = 0; combination < 16; ++combination) {
        quint32 modifiers = 0;
        QString names;
        for (int i = 0; i < 4; ++i)
            if (combination & (1u << i))
                modifiers |= order[i].first, names += order[i].second;
        EXPECT_EQ((Shortcut{18, modifiers}).shortcutModifierSymbols(), names) << modifiers;
    }
    EXPECT_EQ((Shortcut{18, 768 | 1 | 1024}).shortcutModifierSymbols(), "Super+Shift+") << "unknown bits are not shown";
    EXPECT_EQ((Shortcut{20, 768}).displayString(), "Super+Shift+3");
    // No symbol of another system anywhere.
    for (quint32 code = 0; code < 128; ++code)
        for (quint32 m : {0u, 256u, 512u, 2048u, 4096u, 7936u}) {
            const QString text = Shortcut{code, m}.displayString();
            for (const char* mac : {"⌘", "⇧", "⌥", "⌃", "FnDelete", "Help"})
                EXPECT_FALSE(text.contains(QString::fromUtf8(mac))) << code << " " << m;
        }
}

// Key names for the shortcut fields, and without a layout the labels of a US keyboard.
TEST(ShortcutFormatting, KeyNamesLabelsAndMenuKeys) {
    using namespace ShortcutKeyFormatter;
    const std::pair<quint32, const char*> names[] = {
        {0, "A"},    {46, "M"},     {29, "0"},         {22, "6"},    {23, "5"},       {36, "Return"},
        {48, "Tab"}, {49, "Space"}, {51, "Backspace"}, {53, "Esc"},  {117, "Delete"}, {kPrintScreenKeyCode, "Print"},
        {123, "←"},  {126, "↑"},    {96, "F5"},        {83, "Num 1"}};
    for (const auto& [code, name] : names)
        EXPECT_EQ(displayName(code), QString::fromUtf8(name)) << code;
    constexpr quint32 x = kExtendedKeyCodeBase;
    const std::pair<quint32, const char*> labels[] = {{16, "Y"},     {18, "1"},         {96, "F5"},
                                                      {83, "Num 1"}, {x + 99, "Print"}, {x + 92, "変換"}};
    for (const auto& [code, label] : labels)
        EXPECT_EQ(keyLabel(code), QString::fromUtf8(label)) << code;
    EXPECT_EQ(keyLabel(kExtendedKeyCodeBase + 400), QString("#%1").arg(kExtendedKeyCodeBase + 400));

    auto a = menuKey(0);
    ASSERT_TRUE(a && a->character);
    EXPECT_EQ(*a->character, QChar('a'));
    auto esc = menuKey(53);
    ASSERT_TRUE(esc && esc->special);
    EXPECT_EQ(*esc->special, SpecialMenuKey::escape);
    EXPECT_FALSE(menuKey(48).has_value()); // Tab has no menu key
    EXPECT_FALSE(menuKey(96).has_value());
}

// The desktop's screenshot keys are Print, Shift+Print and Alt+Print exactly.
TEST(ShortcutModel, StandardScreenshotKeysAndRawNames) {
    for (quint32 m : {0u, kShiftModifier, kAltModifier})
        EXPECT_TRUE((Shortcut{kPrintScreenKeyCode, m}).isStandardScreenshotKey()) << m;
    EXPECT_FALSE((Shortcut{kPrintScreenKeyCode, kShiftModifier | kSuperModifier}).isStandardScreenshotKey());
    EXPECT_FALSE((Shortcut{20, 768}).isStandardScreenshotKey());
    EXPECT_EQ(evdevCodeForKeyCode(kPrintScreenKeyCode), std::optional<quint32>(99)); // KEY_SYSRQ
    for (ShortcutAction action : {ShortcutAction::captureFullScreen, ShortcutAction::captureArea})
        EXPECT_EQ(shortcutActionFromRaw(rawValue(action)), action);
    EXPECT_FALSE(shortcutActionFromRaw("capturearea").has_value());
}

TEST(ShortcutModel, JsonRequiresBothUnsigned32BitMembers) {
    EXPECT_EQ(Shortcut::fromJson((Shortcut{4294967295u, 768}).toJson()), (Shortcut{4294967295u, 768}));
    EXPECT_FALSE(Shortcut::fromJson(QJsonObject{{"keyCode", 3}}).has_value());
    EXPECT_FALSE(Shortcut::fromJson(QJsonObject{{"keyCode", 3}, {"modifiers", 1.5}}).has_value());
    EXPECT_FALSE(Shortcut::fromJson(QJsonObject{{"keyCode", 4294967296.0}, {"modifiers", 0}}).has_value());
    EXPECT_FALSE(Shortcut::fromJson(QJsonObject{{"keyCode", "3"}, {"modifiers", 0}}).has_value());
}

TEST(KeyMapping, KeyCodesAndEvdevCodesNameTheSameKeys) {
    // Every stored position below 128 with a key maps to one evdev code and back.
    int mapped = 0;
    for (quint32 code = 0; code < 128; ++code) {
        const auto evdev = evdevCodeForKeyCode(code);
        if (!evdev)
            continue;
        ++mapped;
        EXPECT_EQ(keyCodeForEvdevCode(*evdev), code) << code;
    }
    EXPECT_GE(mapped, 110);
    EXPECT_EQ(evdevCodeForKeyCode(18), 2u);   // "1"
    EXPECT_EQ(evdevCodeForKeyCode(0), 30u);   // "A"
    EXPECT_EQ(evdevCodeForKeyCode(93), 124u); // the JIS yen key
    EXPECT_EQ(evdevCodeForKeyCode(94), 89u);  // the JIS ro key
    // Keys without a US ANSI position: Print, Pause, Henkan, a media key.
    for (quint32 evdev : {99u, 119u, 92u, 164u}) {
        const auto code = keyCodeForEvdevCode(evdev);
        ASSERT_TRUE(code) << evdev;
        EXPECT_EQ(*code, kExtendedKeyCodeBase + evdev);
        EXPECT_EQ(evdevCodeForKeyCode(*code), evdev);
    }
    EXPECT_FALSE(keyCodeForEvdevCode(0).has_value());
    EXPECT_FALSE(evdevCodeForKeyCode(52).has_value());
    // Modifier keys map to the modifier positions.
    EXPECT_TRUE(isModifierKeyCode(*keyCodeForEvdevCode(125))); // Super
    EXPECT_TRUE(isModifierKeyCode(*keyCodeForEvdevCode(42)));  // Shift
    EXPECT_TRUE(isModifierKeyCode(*keyCodeForEvdevCode(100))); // AltGr
}

TEST(KeyMapping, EventsWithoutAPhysicalKeyMapThroughQtKeys) {
    for (quint32 code = 0; code < 128; ++code) {
        const auto qt = qtKeyForKeyCode(code);
        if (!qt || !*qt || code == 94 || code == 93 || code == 95)
            continue;
        const QString label = keyLabel(code);
        const bool keypad = label.startsWith(QLatin1String("Num ")) || code == 76;
        EXPECT_EQ(keyCodeForQtKey(*qt, keypad), code) << code;
    }
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_Exclam), 18u); // Shift+1 on a US layout
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_NumberSign), 20u);
}

TEST(KeyMapping, ModifierMasksMapOneToOne) {
    for (quint32 m = 0; m < 16; ++m) {
        const quint32 mods = ((m & 1) ? 256 : 0) | ((m & 2) ? 512 : 0) | ((m & 4) ? 2048 : 0) | ((m & 8) ? 4096 : 0);
        EXPECT_EQ(modifiersForX11State(x11ModifierMaskForModifiers(mods)), mods);
        EXPECT_EQ(modifiersForQtModifiers(qtModifiersForModifiers(mods)), mods);
    }
    EXPECT_EQ(x11ModifierMaskForModifiers(768), 64 | 1); // Super+Shift
    // Caps Lock (2) and Num Lock (16) do not change the shortcut.
    EXPECT_EQ(modifiersForX11State(64 | 1 | 2 | 16), 768u);
}
