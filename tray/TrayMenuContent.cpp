#include "tray/TrayMenuContent.h"
#include "shortcuts/KeyMapping.h"

namespace lumivane {

QString errorSummary(const QString& message) {
    const QString trimmed = message.trimmed();
    QString first = trimmed.split(QStringLiteral("\n\n")).first();
    first.replace('\n', ' ');
    first = first.trimmed();
    return first.isEmpty() ? trimmed : first;
}

QKeySequence menuKeySequence(const Shortcut& shortcut) {
    const Qt::KeyboardModifiers modifiers = qtModifiersForModifiers(
        shortcut.modifiers & (kControlModifier | kAltModifier | kShiftModifier | kSuperModifier));
    // Menus here take any key (function keys, Print, ...), so the key in the menu is the
    // hot key itself and matches the name shown beside it; space only for a key Qt
    // has no name for.
    std::optional<int> key = qtKeyForKeyCode(shortcut.keyCode);
    for (const int extended : {Qt::Key_Print, Qt::Key_Pause, Qt::Key_ScrollLock})
        if (!key && keyCodeForQtKey(extended) == shortcut.keyCode)
            key = extended;
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(key.value_or(Qt::Key_Space))));
}

std::vector<TrayMenuEntry> trayMenuEntries(const TrayMenuState& s) {
    using K = TrayMenuEntry::Kind;
    using C = TrayMenuCommand;
    std::vector<TrayMenuEntry> e;
    auto text = [&](K kind, const QString& t) {
        e.push_back({kind, t, true, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0});
    };
    auto section = [&](const QString& title) {
        text(K::divider, {});
        text(K::section, title);
    };
    auto button = [&](const QString& t, C command, bool enabled = true) {
        e.push_back({K::button, t, enabled, command, std::nullopt, std::nullopt, std::nullopt, 0});
    };
    auto shortcutFor = [&](ShortcutAction a) { return s.shortcuts.value(a, defaultShortcut(a)); };
    auto captureButton = [&](const QString& t, C command, ShortcutAction action, bool enabled = true) {
        const Shortcut shortcut = shortcutFor(action);
        if (shortcut.isEmpty())
            e.push_back({K::button, t, enabled, command, std::nullopt, std::nullopt, std::nullopt, 0});
        else
            e.push_back(
                {K::button, t, enabled, command, menuKeySequence(shortcut), shortcut.displayString(), std::nullopt, 0});
    };

    text(K::headline, QStringLiteral("Lumivane"));
    text(K::subheadline, QStringLiteral("スクリーンショットをすばやく撮影"));
    section(QStringLiteral("撮影"));
    captureButton(QStringLiteral("全画面を撮影"), C::captureFullScreen, ShortcutAction::captureFullScreen);
    captureButton(QStringLiteral("範囲を選択して撮影"), C::captureArea, ShortcutAction::captureArea);
    captureButton(QStringLiteral("ウィンドウを撮影"), C::captureWindow, ShortcutAction::captureWindow);
    captureButton(QStringLiteral("前回の範囲を撮影"), C::captureLastArea, ShortcutAction::captureLastArea,
                  s.hasLastCaptureArea);
    button(QStringLiteral("ブラウザ全体を撮影"), C::captureBrowserFullPage);
    if (s.offersTextRecognition)
        captureButton(QStringLiteral("範囲を選択してテキストを読み取る"), C::captureAreaText,
                      ShortcutAction::captureAreaText);
    const QString timer = QStringLiteral("タイマー");
    for (const auto& [command, what] : {std::pair{C::captureFullScreenAfterDelay, QStringLiteral("全画面を撮影")},
                                        std::pair{C::captureAreaAfterDelay, QStringLiteral("範囲を選択して撮影")}})
        for (int seconds : {3, 5, 10}) {
            e.push_back({K::button, QStringLiteral("%1秒後に%2").arg(seconds).arg(what), true, command, std::nullopt,
                         std::nullopt, timer, seconds});
        }
    if (s.delayedCaptureRunning)
        button(QStringLiteral("タイマーを取り消す"), C::cancelDelayedCapture);
    section(QStringLiteral("直前の画像"));
    button(QStringLiteral("編集を開く"), C::openEditor, s.hasCapture);
    button(QStringLiteral("画像をコピー"), C::copyImage, s.hasCapture);
    button(QStringLiteral("%1を書き出す").arg(s.screenshotFileFormat == ScreenshotFileFormat::jpeg ? "JPEG" : "PNG"),
           C::exportImage, s.hasCapture);
    if (s.historyEnabled) {
        section(QStringLiteral("最近の撮影"));
        for (int i = 0; i < s.recentCaptures.size(); ++i) {
            e.push_back({K::button, s.recentCaptures[i], true, C::openRecentCapture, std::nullopt, std::nullopt,
                         std::nullopt, i});
        }
        button(QStringLiteral("すべての撮影を表示…"), C::showCaptureHistory);
    }
    section(QStringLiteral("セットアップ"));
    button(QStringLiteral("セットアップを確認"), C::openSetup);
    text(K::caption,
         s.setupComplete ? QStringLiteral("必要な設定は揃っています") : QStringLiteral("未完了の設定があります"));
    if (s.hasShortcutRegistrationFailures) {
        section(QStringLiteral("ショートカット"));
        text(K::warning, QStringLiteral("登録できないショートカットがあります"));
        button(QStringLiteral("ショートカット設定を開く"), C::openShortcutSettings);
        button(QStringLiteral("デスクトップのスクリーンショット設定を開く"), C::openSystemScreenshotSettings);
        button(QStringLiteral("おすすめキーに変更"), C::useRecommendedShortcuts);
    }
    section(QStringLiteral("プロジェクト"));
    button(QStringLiteral("プロジェクトを開く"), C::openProject);
    button(QStringLiteral("クリップボードの画像を編集"), C::editClipboardImage);
    button(QStringLiteral("編集中の内容を保存"), C::saveProject, s.hasEditorDocument);
    if (s.lastErrorMessage) {
        section(QStringLiteral("エラー"));
        text(K::errorBox, errorSummary(*s.lastErrorMessage));
        text(K::caption, QStringLiteral("全文は下の詳細表示から確認できます。"));
        button(QStringLiteral("エラー詳細を表示"), C::showErrorDetails);
        button(QStringLiteral("エラー文をコピー"), C::copyErrorMessage);
    }
    text(K::divider, {});
    button(QStringLiteral("設定"), C::openSettings);
    button(QStringLiteral("アップデートを確認…"), C::checkForUpdates, s.canCheckForUpdates);
    text(K::divider, {});
    button(QStringLiteral("Lumivaneを終了"), C::quit);
    return e;
}

} // namespace lumivane
