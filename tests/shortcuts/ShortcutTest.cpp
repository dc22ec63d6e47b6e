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
    struct Case {
        quint32 modifiers;
        const char* names;
    };
    const Case cases[] = {
        {0, ""},
        {256, "Super+"},
        {512, "Shift+"},
        {2048, "Alt+"},
        {4096, "Ctrl+"},
        {768, "Super+Shift+"},
        {2304, "Super+Alt+"},
        {4352, "Super+Ctrl+"},
        {2560, "Alt+Shift+"},
        {4608, "Ctrl+Shift+"},
        {6144, "Ctrl+Alt+"},
        {2816, "Super+Alt+Shift+"},
        {7936, "Super+Ctrl+Alt+Shift+"},
        {768 | 1 | 1024, "Super+Shift+"}, // unknown bits are not shown
    };
    for (const Case& c : cases)
        EXPECT_EQ((Shortcut{18, c.modifiers}).shortcutModifierSymbols(), QString::fromUtf8(c.names)) << c.modifiers;
    EXPECT_EQ((Shortcut{18, 768}).displayString(), "Super+Shift+1");
    EXPECT_EQ((Shortcut{20, 768}).displayString(), "Super+Shift+3");
    EXPECT_EQ(kDesktopScreenshotAreaKey.displayString(), "Shift+Print");
    EXPECT_EQ(desktopScreenshotKeysText(), "Print / Shift+Print / Alt+Print");
    EXPECT_EQ(recommendedShortcutsText(), "Super+Shift+1 / Super+Shift+2");
    // No symbol of another system anywhere.
    for (quint32 code = 0; code < 128; ++code)
        for (quint32 m : {0u, 256u, 512u, 2048u, 4096u, 7936u}) {
            const QString text = Shortcut{code, m}.displayString();
            for (const char* mac : {"⌘", "⇧", "⌥", "⌃", "FnDelete", "Help"})
                EXPECT_FALSE(text.contains(QString::fromUtf8(mac))) << code << " " << m;
        }
}

TEST(ShortcutFormatting, KeyNamesAndMenuKeys) {
    using namespace ShortcutKeyFormatter;
    EXPECT_EQ(displayName(0), "A");
    EXPECT_EQ(displayName(46), "M");
    EXPECT_EQ(displayName(29), "0");
    EXPECT_EQ(displayName(22), "6");
    EXPECT_EQ(displayName(23), "5");
    EXPECT_EQ(displayName(36), "Return");
    EXPECT_EQ(displayName(48), "Tab");
    EXPECT_EQ(displayName(49), "Space");
    EXPECT_EQ(displayName(51), "Backspace");
    EXPECT_EQ(displayName(53), "Esc");
    EXPECT_EQ(displayName(117), "Delete");
    EXPECT_EQ(displayName(kPrintScreenKeyCode), "Print");
    EXPECT_EQ(displayName(123), "←");
    EXPECT_EQ(displayName(126), "↑");
    EXPECT_EQ(displayName(96), "F5");
    EXPECT_EQ(displayName(83), "Num 1");

    auto a = menuKey(0);
    ASSERT_TRUE(a && a->character);
    EXPECT_EQ(*a->character, QChar('a'));
    auto esc = menuKey(53);
    ASSERT_TRUE(esc && esc->special);
    EXPECT_EQ(*esc->special, SpecialMenuKey::escape);
    EXPECT_FALSE(menuKey(48).has_value()); // Tab has no menu key
    EXPECT_FALSE(menuKey(96).has_value());
}

TEST(ShortcutModel, StandardScreenshotKeysAndDefaults) {
    // The desktop's screenshot keys: Print, Shift+Print, Alt+Print exactly.
    EXPECT_TRUE((Shortcut{kPrintScreenKeyCode, 0}).isStandardScreenshotKey());
    EXPECT_TRUE((Shortcut{kPrintScreenKeyCode, kShiftModifier}).isStandardScreenshotKey());
    EXPECT_TRUE((Shortcut{kPrintScreenKeyCode, kAltModifier}).isStandardScreenshotKey());
    EXPECT_FALSE((Shortcut{kPrintScreenKeyCode, kShiftModifier | kSuperModifier}).isStandardScreenshotKey());
    EXPECT_FALSE((Shortcut{20, 768}).isStandardScreenshotKey());
    EXPECT_EQ(evdevCodeForKeyCode(kPrintScreenKeyCode), std::optional<quint32>(99)); // KEY_SYSRQ
    EXPECT_EQ(defaultShortcut(ShortcutAction::captureFullScreen), (Shortcut{18, 768}));
    EXPECT_EQ(defaultShortcut(ShortcutAction::captureArea), (Shortcut{19, 768}));
    EXPECT_EQ(rawValue(ShortcutAction::captureArea), "captureArea");
    EXPECT_EQ(shortcutActionFromRaw("captureFullScreen"), ShortcutAction::captureFullScreen);
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

TEST(KeyMapping, LabelsWithoutALayoutAreThoseOfAUsKeyboard) {
    EXPECT_EQ(keyLabel(16), "Y");
    EXPECT_EQ(keyLabel(18), "1");
    EXPECT_EQ(keyLabel(96), "F5");
    EXPECT_EQ(keyLabel(83), "Num 1");
    EXPECT_EQ(keyLabel(kExtendedKeyCodeBase + 99), "Print");
    EXPECT_EQ(keyLabel(kExtendedKeyCodeBase + 92), "変換");
    EXPECT_EQ(keyLabel(kExtendedKeyCodeBase + 400), QString("#%1").arg(kExtendedKeyCodeBase + 400));
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
