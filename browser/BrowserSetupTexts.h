#pragma once
// Texts of the setup checklist and help for whole-page browser capture on Linux, where
// the browser is driven through its remote-debugging (DevTools) port.

namespace lumivane::browser_setup_texts {

// Automation item.
inline constexpr const char* automationTitle = "オートメーション";
inline constexpr const char* automationPurpose =
    "Brave / Chrome を自動操作してページ全体を撮影するために必要です。";
inline constexpr const char* automationPrerequisiteMissing = "画面収録とアクセシビリティの許可を先に済ませてください。";
inline constexpr const char* automationVerified = "前面ブラウザで自動操作の疎通を確認済みです。";
inline constexpr const char* automationVerificationNeeded =
    "Brave / Chrome を --remote-debugging-port=9222 を付けて起動し、前面ブラウザで連携確認してください。"
    "(例: google-chrome --remote-debugging-port=9222)";

// JavaScript item.
inline constexpr const char* browserJavaScriptTitle = "Brave / Chrome 追加設定";
inline constexpr const char* browserJavaScriptPurpose =
    "Brave / Chrome のリモートデバッグ接続から JavaScript を実行できるようにしてください。";
inline constexpr const char* browserJavaScriptPrerequisiteMissing = "画面収録とアクセシビリティの許可を先に済ませてください。";
inline constexpr const char* browserJavaScriptVerified = "リモートデバッグ接続からの JavaScript 実行は確認済みです。";
inline constexpr const char* browserJavaScriptVerificationNeeded =
    "Brave / Chrome をいったんすべて終了し、--remote-debugging-port=9222 を付けて起動し直してください。";

// Check-procedure box.
inline constexpr const char* checkProcedureTitle = "ブラウザ全体撮影の確認手順";
inline constexpr const char* checkProcedureLines[] = {
    "1. Brave または Chrome で普通の https ページを前面に出す",
    "2. ブラウザを --remote-debugging-port=9222 を付けて起動しておく",
    "3. 下の「前面ブラウザで連携を確認」を押す",
    "4. 確認後はセットアップ画面に戻ります",
};

// Help alert.
inline constexpr const char* javaScriptHelpTitle = "Brave / Chrome の追加設定";
inline constexpr const char* javaScriptHelpText =
    "ブラウザをいったんすべて終了してから、端末で「google-chrome --remote-debugging-port=9222」"
    "(Brave は「brave-browser --remote-debugging-port=9222」、Chromium は「chromium --remote-debugging-port=9222」)"
    "を実行して起動し直してください。常に有効にするには、起動用のデスクトップファイルの Exec 行に"
    " --remote-debugging-port=9222 を追加します。設定後は「前面ブラウザで連携を確認」を押すと疎通を確認できます。";

// Advice appended to automation failures (replaces the Apple Events advice).
inline constexpr const char* automationFailedAdvice =
    "ブラウザが --remote-debugging-port=9222 を付けて起動されているか確認してください。";
inline constexpr const char* pageInfoUnavailableAdvice =
    "ブラウザが --remote-debugging-port=9222 を付けて起動されているか確認してください。";

} // namespace lumivane::browser_setup_texts
