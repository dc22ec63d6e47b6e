#include "tray/TrayMenuContent.h"

#include <gtest/gtest.h>

namespace {

using namespace lumivane;

// The reading mode is offered only with the engine installed; its key shows once the
// user chose one (it has none by default).
TEST(TrayMenuTextRecognition, TheEntryFollowsTheEngineAndShowsAChosenKey) {
    const QString title = QStringLiteral("範囲を選択してテキストを読み取る");
    const Shortcut chosen{19, kSuperModifier | kAltModifier};
    struct Case {
        bool offered;
        std::optional<Shortcut> key;
        bool listed;
        std::optional<QString> keyText;
    };
    for (const Case& c : {Case{false, std::nullopt, false, std::nullopt}, Case{true, std::nullopt, true, std::nullopt},
                          Case{true, chosen, true, chosen.displayString()}}) {
        TrayMenuState s;
        s.offersTextRecognition = c.offered;
        if (c.key)
            s.shortcuts.insert(ShortcutAction::captureAreaText, *c.key);
        const auto entries = trayMenuEntries(s);
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.text == title; });
        ASSERT_EQ(it != entries.end(), c.listed) << c.offered;
        if (!c.listed)
            continue;
        EXPECT_EQ(it->command, TrayMenuCommand::captureAreaText);
        EXPECT_EQ(it->keyText, c.keyText);
        EXPECT_EQ(it->keySequence.has_value(), c.key.has_value());
        // In the capture section, after the area capture.
        const auto area = std::find_if(entries.begin(), entries.end(),
                                       [](const auto& e) { return e.command == TrayMenuCommand::captureArea; });
        ASSERT_NE(area, entries.end());
        EXPECT_LT(area, it);
    }
}

} // namespace
