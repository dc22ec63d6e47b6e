#include "app/ErrorMessages.h"
#include "browser/BrowserCaptureError.h"
#include "capture/CaptureError.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace lumivane;

TEST(ErrorMessages, CaptureErrors) {
    using K = CaptureError::Kind;
    EXPECT_EQ(userFacingErrorMessage(CaptureError(K::captureFailed)),
              "スクリーンショットの取得に失敗しました。画面収録権限を確認してください。");
    EXPECT_EQ(userFacingErrorMessage(CaptureError(K::imageConversionFailed)), "画像データの変換に失敗しました。");
    EXPECT_EQ(userFacingErrorMessage(CaptureError(K::screenRecordingPermissionDenied)),
              "画面収録権限がありません。デスクトップのスクリーンショットの確認、またはデスクトップの設定 > "
              "プライバシー で Lumivane を許可してから、もう一度実行してください。"
              "\n\nセットアップを確認から、画面収録の項目を開くと案内付きで確認できます。");
    EXPECT_EQ(userFacingErrorMessage(CaptureError(K::screenRecordingPermissionNeedsRelaunch)),
              "画面収録権限は付与されましたが、変更を反映するため Lumivane の再起動が必要です。"
              "\n\n許可後に Lumivane を再起動してください。");
}

TEST(ErrorMessages, BrowserErrors) {
    using K = BrowserCaptureError::Kind;
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(K::unsupportedBrowser)),
              "前面アプリが Chrome、Chromium または Brave ではありません。");
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(K::browserNotFrontmost)),
              "Chrome、Chromium または Brave を前面に出した通常の Web "
              "ページで実行してください。設定画面や新しいタブでは失敗します。");
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(K::pageInfoUnavailable, {}, "Brave Browser")),
              "ブラウザのページ情報を取得できませんでした。"
              "\n\nBrave Browser のリモートデバッグ接続が開いたままか確認してください。");
    EXPECT_EQ(
        userFacingErrorMessage(BrowserCaptureError(K::browserWindowUnavailable)),
        "ブラウザの表示領域を特定できませんでした。"
        "\n\nブラウザを通常サイズで前面に出し、固定メニューや開発者メニューを閉じた状態でもう一度試してください。");
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(K::accessibilityPermissionMissing)),
              "ブラウザ表示領域の取得にアクセシビリティ権限が必要です。"
              "\n\nセットアップを確認から、アクセシビリティの項目を開いて許可してください。");
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(K::captureFailed)),
              "ブラウザ全体キャプチャの生成に失敗しました。"
              "\n\n長いページでは負荷が高くなるので、必要ならページを分けて撮影してください。");
    const QString advice = "\n\nChromium のリモートデバッグ接続が開いたままか確認してください。";
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError::automationFailed("接続できません", "Chromium")),
              "ブラウザ自動操作に失敗しました。\n接続できません" + advice);
    // An empty detail keeps the first line, an empty line and the advice.
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError::automationFailed("", "Chromium")),
              "ブラウザ自動操作に失敗しました。\n" + advice);
    // A second capture while one runs, and a browser that is not the one in front.
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(K::captureInProgress)),
              "ブラウザ全体撮影を実行中です。終わってからもう一度実行してください。");
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(K::otherBrowserAnswered, {}, "Google Chrome")),
              "リモートデバッグ接続に応答したのは、前面の Google Chrome ではなく別のブラウザでした。"
              "\n\n前面の Google Chrome "
              "自身のリモートデバッグ接続をオンにしてください。別のブラウザの接続では撮影しません。");
    EXPECT_EQ(BrowserCaptureError::automationFailed("x").description(), "ブラウザ自動操作に失敗しました。x");
}

TEST(ErrorMessages, OtherErrorsShowTheirOwnDescription) {
    EXPECT_EQ(userFacingErrorMessage(std::runtime_error("ファイルを書き込めません: /tmp/x")),
              "ファイルを書き込めません: /tmp/x");
}

TEST(ErrorMessages, RegistrationFailureNamesJoinedInOrder) {
    const QString head = "一部のショートカットを登録できませんでした。\n同じショートカット、デスクトップ標準のショート"
                         "カット、または他アプリと競合している可能性があります。\n\n対象: ";
    EXPECT_EQ(shortcutRegistrationFailureMessage({ShortcutAction::captureArea, ShortcutAction::captureFullScreen}),
              head + "範囲を選択して撮影 / 全画面を撮影");
    EXPECT_EQ(shortcutRegistrationFailureMessage({ShortcutAction::captureFullScreen}), head + "全画面を撮影");
}

// Texts that named another system's keys and settings speak of the Linux desktop.
TEST(ErrorMessages, ShortcutTextsNameTheDesktopsKeys) {
    const AlertText notice = AlertTexts::shortcutConflictNotice();
    EXPECT_EQ(
        notice.informativeText,
        "現在の Print / Shift+Print / Alt+Print はデスクトップ標準のスクリーンショットと競合しているため、Lumivane "
        "で使えていません。\n\nこのキーで使う場合はデスクトップ側のスクリーンショットショートカットを OFF "
        "にしてください。すぐ使うなら、おすすめキーの Super+Shift+1 / Super+Shift+2 に変更できます。");
    EXPECT_EQ(
        AlertTexts::screenshotShortcutSettingsFallback().informativeText,
        "デスクトップの設定 > キーボード > キーボードショートカット > スクリーンショット を開き、デスクトップ標準の "
        "Print / Shift+Print / Alt+Print を OFF にしてください。");
    for (const QString& text :
         {notice.informativeText, AlertTexts::screenshotShortcutSettingsFallback().informativeText,
          shortcutRegistrationFailureMessage({ShortcutAction::captureArea})})
        for (const char* foreign : {"macOS", "⌘", "⇧", "システム設定", "Mac"})
            EXPECT_FALSE(text.contains(QString::fromUtf8(foreign))) << foreign;
}

// File and project failures reach the user in Japanese, naming the file.
TEST(ErrorMessages, FileFailuresAreJapanese) {
    using K = FileOperationError::Kind;
    EXPECT_EQ(
        userFacingErrorMessage(FileOperationError(K::fileNotWritten, "/home/u/写真/Shot.png", "Permission denied")),
        "ファイル“Shot.png”を保存できませんでした。保存先の書き込み権限と空き容量を確認してください。\n\n詳細: "
        "Permission denied");
    EXPECT_EQ(userFacingErrorMessage(FileOperationError(K::folderNotCreated, "/ro/out")),
              "フォルダ“/ro/out”を作成できませんでした。保存先フォルダと書き込み権限を確認してください。");
    EXPECT_EQ(userFacingErrorMessage(FileOperationError(K::projectInvalid, "/tmp/a.json")),
              "ファイル“a.json”は Lumivane のプロジェクトとして読み込めない形式のため、開けませんでした。");
    EXPECT_EQ(userFacingErrorMessage(FileOperationError(K::projectNotReadable, "/tmp/gone.lumivane")),
              "ファイル“gone.lumivane”を開けませんでした。ファイルがあるか、読み取り権限があるか確認してください。");
}

TEST(ErrorMessages, AlertButtonsInOrder) {
    EXPECT_EQ(AlertTexts::shortcutConflictNotice().buttons,
              (QStringList{"設定を開く", "おすすめキーに変更", "あとで"}));
    EXPECT_EQ(AlertTexts::errorDetails("m").buttons, (QStringList{"OK", "コピー"}));
    EXPECT_EQ(AlertTexts::errorDetails("m").informativeText, "m");
    EXPECT_EQ(AlertTexts::errorDetails("m").style, AlertStyle::warning);
    EXPECT_EQ(AlertTexts::browserJavaScriptHelp().buttons, (QStringList{"OK", "Lumivane サイトを開く"}));
}
