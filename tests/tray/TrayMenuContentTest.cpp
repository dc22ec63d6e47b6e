#include "tray/TrayMenuContent.h"
#include "shortcuts/KeyMapping.h"

#include <gtest/gtest.h>

using namespace lumivane;

namespace {
const TrayMenuEntry* find(const std::vector<TrayMenuEntry>& entries, const QString& text) {
    for (const auto& e : entries)
        if (e.text == text)
            return &e;
    return nullptr;
}
const TrayMenuEntry* find(const std::vector<TrayMenuEntry>& entries, TrayMenuCommand command) {
    for (const auto& e : entries)
        if (e.command == command)
            return &e;
    return nullptr;
}
QStringList sections(const std::vector<TrayMenuEntry>& entries) {
    QStringList out;
    for (const auto& e : entries)
        if (e.kind == TrayMenuEntry::Kind::section)
            out << e.text;
    return out;
}
} // namespace

TEST(TrayMenuContent, FreshStartDisablesImageItemsAndHidesConditionalSections) {
    const auto entries = trayMenuEntries({});
    for (const char* item : {"前回の範囲を撮影", "編集を開く", "画像をコピー", "PNGを書き出す", "編集中の内容を保存",
                             "アップデートを確認…"}) {
        const TrayMenuEntry* e = find(entries, QString::fromUtf8(item));
        ASSERT_TRUE(e) << item;
        EXPECT_FALSE(e->enabled) << item;
    }
    EXPECT_TRUE(find(entries, "全画面を撮影")->enabled);
    EXPECT_EQ(sections(entries), (QStringList{"撮影", "直前の画像", "最近の撮影", "セットアップ", "プロジェクト"}));
    EXPECT_TRUE(find(entries, "未完了の設定があります"));
    EXPECT_EQ(entries.front().text, "Lumivane");
    EXPECT_EQ(entries.back().text, "Lumivaneを終了");
    EXPECT_EQ(find(entries, "全画面を撮影")->keySequence,
              menuKeySequence(defaultShortcut(ShortcutAction::captureFullScreen)));
    // The window capture is always there; neither it nor the last area has a key at first.
    EXPECT_TRUE(find(entries, "ウィンドウを撮影")->enabled);
    EXPECT_EQ(find(entries, "ウィンドウを撮影")->command, TrayMenuCommand::captureWindow);
    for (const char* item : {"ウィンドウを撮影", "前回の範囲を撮影"}) {
        EXPECT_FALSE(find(entries, QString::fromUtf8(item))->keySequence) << item;
        EXPECT_FALSE(find(entries, QString::fromUtf8(item))->keyText) << item;
    }
}

TEST(TrayMenuContent, StateShowsJpegFailuresErrorAndCompleteSetup) {
    TrayMenuState s;
    s.hasCapture = true;
    s.screenshotFileFormat = ScreenshotFileFormat::jpeg;
    s.hasShortcutRegistrationFailures = true;
    s.lastErrorMessage = QString("  first line\nsecond line\n\nmore details ");
    s.setupComplete = true;
    s.hasLastCaptureArea = true;
    s.shortcuts.insert(ShortcutAction::captureLastArea, Shortcut{0, kControlModifier | kAltModifier});
    const auto entries = trayMenuEntries(s);
    EXPECT_TRUE(find(entries, "前回の範囲を撮影")->enabled);
    EXPECT_EQ(find(entries, "前回の範囲を撮影")->keyText,
              Shortcut({0, kControlModifier | kAltModifier}).displayString());
    ASSERT_TRUE(find(entries, "JPEGを書き出す"));
    EXPECT_TRUE(find(entries, "JPEGを書き出す")->enabled);
    EXPECT_EQ(sections(entries), (QStringList{"撮影", "直前の画像", "最近の撮影", "セットアップ", "ショートカット",
                                              "プロジェクト", "エラー"}));
    EXPECT_TRUE(find(entries, "必要な設定は揃っています"));
    EXPECT_TRUE(find(entries, "first line second line"));
    EXPECT_EQ(find(entries, "おすすめキーに変更")->command, TrayMenuCommand::useRecommendedShortcuts);
}

TEST(TrayMenuContent, ErrorSummaryAndKeySequences) {
    EXPECT_EQ(errorSummary("\n\n  \n\nonly later"), "only later"); // empty first part: whole trimmed text
    EXPECT_EQ(errorSummary("a\nb"), "a b");
    // ⌃⌥5 (key code 23): control and option map bit by bit; command and shift are absent.
    const QKeySequence k = menuKeySequence({23, kControlModifier | kAltModifier});
    EXPECT_EQ(k[0].keyboardModifiers(), qtModifiersForModifiers(kControlModifier | kAltModifier));
    EXPECT_EQ(k[0].key(), Qt::Key_5);
    // Keys beyond letters and digits (F5, key code 96; Print) are the menu's key too,
    // as named beside the entry.
    EXPECT_EQ(menuKeySequence({96, kSuperModifier})[0].key(), Qt::Key_F5);
    EXPECT_EQ(menuKeySequence(kDesktopScreenshotAreaKey)[0].key(), Qt::Key_Print);
    EXPECT_EQ(QKeySequence(menuKeySequence(kDesktopScreenshotAreaKey)).toString(),
              QKeySequence(QKeyCombination(Qt::ShiftModifier, Qt::Key_Print)).toString());
    // Other mask bits are ignored.
    EXPECT_EQ(menuKeySequence({18, kSuperModifier | 0x1}), menuKeySequence({18, kSuperModifier}));
}

TEST(TrayMenuContent, TimerSubmenuOffersDelaysAndCancelOnlyWhileOneRuns) {
    const auto entries = trayMenuEntries({});
    struct Item {
        const char* text;
        TrayMenuCommand command;
        int seconds;
    };
    const Item items[] = {
        {"3秒後に全画面を撮影", TrayMenuCommand::captureFullScreenAfterDelay, 3},
        {"10秒後に全画面を撮影", TrayMenuCommand::captureFullScreenAfterDelay, 10},
        {"5秒後に範囲を選択して撮影", TrayMenuCommand::captureAreaAfterDelay, 5},
    };
    for (const Item& item : items) {
        const TrayMenuEntry* e = find(entries, QString::fromUtf8(item.text));
        ASSERT_TRUE(e) << item.text;
        EXPECT_EQ(e->submenu, QStringLiteral("タイマー"));
        EXPECT_EQ(e->command, item.command);
        EXPECT_EQ(e->argument, item.seconds);
    }
    EXPECT_FALSE(find(entries, "タイマーを取り消す"));
    TrayMenuState running;
    running.delayedCaptureRunning = true;
    const TrayMenuEntry* cancel = find(trayMenuEntries(running), "タイマーを取り消す");
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->command, TrayMenuCommand::cancelDelayedCapture);
    EXPECT_FALSE(cancel->submenu);
}

// The reading mode is offered only with the engine installed, after the area capture;
// its key shows once the user chose one (it has none by default).
TEST(TrayMenuContent, TextRecognitionFollowsTheEngineAndShowsAChosenKey) {
    const QString title = QStringLiteral("範囲を選択してテキストを読み取る");
    EXPECT_FALSE(find(trayMenuEntries({}), title));
    for (const std::optional<Shortcut> key :
         {std::optional<Shortcut>(), std::optional(Shortcut{19, kSuperModifier | kAltModifier})}) {
        SCOPED_TRACE(key.has_value());
        TrayMenuState s;
        s.offersTextRecognition = true;
        if (key)
            s.shortcuts.insert(ShortcutAction::captureAreaText, *key);
        const auto entries = trayMenuEntries(s);
        const TrayMenuEntry* e = find(entries, title);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->command, TrayMenuCommand::captureAreaText);
        EXPECT_EQ(e->keyText, key ? std::optional(key->displayString()) : std::nullopt);
        EXPECT_EQ(e->keySequence.has_value(), key.has_value());
        ASSERT_TRUE(find(entries, TrayMenuCommand::captureArea));
        EXPECT_LT(find(entries, TrayMenuCommand::captureArea), e);
    }
}
