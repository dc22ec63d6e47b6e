#include "app/ErrorMessages.h"
#include "browser/BrowserCaptureError.h"
#include "capture/CaptureError.h"

#include <QSet>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace lumivane;

namespace {

struct MessageCase {
    const char* name;
    QString message;
    // Words that only the right text for this failure carries, and the failure's own details.
    QStringList fragments;
};

QList<MessageCase> messageCases() {
    using C = CaptureError::Kind;
    using B = BrowserCaptureError::Kind;
    using F = FileOperationError::Kind;
    return {
        {"captureFailed", userFacingErrorMessage(CaptureError(C::captureFailed)), {"取得に失敗"}},
        {"imageMissing", userFacingErrorMessage(CaptureError(C::imageConversionFailed)), {"変換に失敗"}},
        {"permissionDenied",
         userFacingErrorMessage(CaptureError(C::screenRecordingPermissionDenied)),
         {"権限がありません", "セットアップを確認"}},
        {"needsRelaunch",
         userFacingErrorMessage(CaptureError(C::screenRecordingPermissionNeedsRelaunch)),
         {"再起動", "\n\n"}},
        {"unsupportedBrowser",
         userFacingErrorMessage(BrowserCaptureError(B::unsupportedBrowser)),
         {"Chrome、Chromium または Brave ではありません"}},
        {"browserNotFrontmost", userFacingErrorMessage(BrowserCaptureError(B::browserNotFrontmost)), {"前面に出した"}},
        {"pageInfoUnavailable",
         userFacingErrorMessage(BrowserCaptureError(B::pageInfoUnavailable, {}, "Brave Browser")),
         {"ページ情報", "Brave Browser のリモートデバッグ"}},
        {"browserWindowUnavailable",
         userFacingErrorMessage(BrowserCaptureError(B::browserWindowUnavailable)),
         {"表示領域を特定できません"}},
        {"accessibility",
         userFacingErrorMessage(BrowserCaptureError(B::accessibilityPermissionMissing)),
         {"アクセシビリティ"}},
        {"browserCaptureFailed", userFacingErrorMessage(BrowserCaptureError(B::captureFailed)), {"生成に失敗"}},
        {"automationFailed",
         userFacingErrorMessage(BrowserCaptureError::automationFailed("接続できません", "Chromium")),
         {"自動操作に失敗しました。\n接続できません\n\n", "Chromium のリモートデバッグ"}},
        // An empty detail keeps the first line, an empty line and the advice.
        {"automationFailedWithoutDetail",
         userFacingErrorMessage(BrowserCaptureError::automationFailed("", "Chromium")),
         {"自動操作に失敗しました。\n\n\n"}},
        {"captureInProgress", userFacingErrorMessage(BrowserCaptureError(B::captureInProgress)), {"実行中"}},
        {"otherBrowserAnswered",
         userFacingErrorMessage(BrowserCaptureError(B::otherBrowserAnswered, {}, "Google Chrome")),
         {"別のブラウザ", "前面の Google Chrome"}},
        {"fileNotWritten",
         userFacingErrorMessage(FileOperationError(F::fileNotWritten, "/home/u/写真/Shot.png", "Permission denied")),
         {"“Shot.png”を保存できません", "詳細: Permission denied"}},
        {"folderNotCreated",
         userFacingErrorMessage(FileOperationError(F::folderNotCreated, "/ro/out")),
         {"フォルダ“/ro/out”を作成できません"}},
        {"projectInvalid",
         userFacingErrorMessage(FileOperationError(F::projectInvalid, "/tmp/a.json")),
         {"“a.json”", "プロジェクト"}},
        {"projectNotReadable",
         userFacingErrorMessage(FileOperationError(F::projectNotReadable, "/tmp/gone.lumivane")),
         {"“gone.lumivane”を開けません", "読み取り権限"}},
        {"otherError",
         userFacingErrorMessage(std::runtime_error("ファイルを書き込めません: /tmp/x")),
         {"ファイルを書き込めません: /tmp/x"}},
    };
}

} // namespace

// Each failure gets its own text, which names what failed and the failure's details.
TEST(ErrorMessages, EachFailureHasItsOwnTextWithItsDetails) {
    QSet<QString> seen;
    for (const MessageCase& c : messageCases()) {
        EXPECT_FALSE(c.message.isEmpty()) << c.name;
        EXPECT_FALSE(seen.contains(c.message)) << c.name << " repeats another failure's text";
        seen.insert(c.message);
        for (const QString& fragment : c.fragments)
            EXPECT_TRUE(c.message.contains(fragment)) << c.name << ": " << fragment.toStdString();
    }
    EXPECT_EQ(BrowserCaptureError::automationFailed("x").description(), "ブラウザ自動操作に失敗しました。x");
}

TEST(ErrorMessages, RegistrationFailureNamesJoinedInOrder) {
    EXPECT_TRUE(shortcutRegistrationFailureMessage({ShortcutAction::captureArea, ShortcutAction::captureFullScreen})
                    .endsWith("\n\n対象: 範囲を選択して撮影 / 全画面を撮影"));
    EXPECT_TRUE(shortcutRegistrationFailureMessage({ShortcutAction::captureFullScreen}).endsWith("対象: 全画面を撮影"));
}

// Texts that named another system's keys and settings speak of the Linux desktop.
TEST(ErrorMessages, ShortcutTextsNameTheDesktopsKeys) {
    const QString notice = AlertTexts::shortcutConflictNotice().informativeText;
    const QString fallback = AlertTexts::screenshotShortcutSettingsFallback().informativeText;
    for (const char* key : {"Print / Shift+Print / Alt+Print", "Super+Shift+1 / Super+Shift+2"})
        EXPECT_TRUE(notice.contains(key)) << key;
    EXPECT_TRUE(fallback.contains("キーボードショートカット > スクリーンショット"));
    EXPECT_TRUE(fallback.contains("Print / Shift+Print / Alt+Print"));
    for (const QString& text : {notice, fallback, shortcutRegistrationFailureMessage({ShortcutAction::captureArea})})
        for (const char* foreign : {"macOS", "⌘", "⇧", "システム設定", "Mac"})
            EXPECT_FALSE(text.contains(QString::fromUtf8(foreign))) << foreign;
}
