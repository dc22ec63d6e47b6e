#pragma once
// Texts of the setup checklist, help and error advice for whole-page browser capture on
// Linux, where the browser is driven through its remote-debugging (DevTools) endpoint.

namespace lumivane::browser_setup_texts {

// Automation item.
inline constexpr const char* automationTitle = "ブラウザ連携";
inline constexpr const char* automationPurpose =
    "Chrome / Chromium / Brave をリモートデバッグ接続で操作して、ページ全体を撮影するために必要です。";
inline constexpr const char* automationPrerequisiteMissing = "画面収録とアクセシビリティの許可を先に済ませてください。";
inline constexpr const char* automationVerified = "前面ブラウザでリモートデバッグ接続の疎通を確認済みです。";
inline constexpr const char* automationVerificationNeeded =
    "ブラウザのリモートデバッグ接続をオンにして(chrome://inspect/#remote-debugging、または "
    "--remote-debugging-port と --user-data-dir を付けた起動)、前面ブラウザで連携確認してください。";

// Second browser item.
inline constexpr const char* browserJavaScriptTitle = "Brave / Chrome 追加設定";
inline constexpr const char* browserJavaScriptPurpose = "リモートデバッグ接続はブラウザ側でオンにします。開いている間は"
                                                        "、ほかのプログラムもそのプロファイルのページを読み取れます。";
inline constexpr const char* browserJavaScriptPrerequisiteMissing =
    "画面収録とアクセシビリティの許可を先に済ませてください。";
inline constexpr const char* browserJavaScriptVerified = "リモートデバッグ接続からのページ操作は確認済みです。";
inline constexpr const char* browserJavaScriptVerificationNeeded =
    "「手順を見る」で、ブラウザごとの接続の開き方(chrome://inspect/"
    "#remote-debugging、または別プロファイルでの起動)を確認してください。";

// Check-procedure box.
inline constexpr const char* checkProcedureTitle = "ブラウザ全体撮影の確認手順";
inline constexpr const char* checkProcedureLines[] = {
    "1. Chrome、Chromium または Brave で普通の https ページを前面に出す",
    ("2. chrome://inspect/#remote-debugging でリモートデバッグを許可する(または、ブラウザをすべて終了してから "
     "--remote-debugging-port と --user-data-dir を付けて起動し直す)"),
    "3. 下の「前面ブラウザで連携を確認」を押す",
    "4. 確認後はセットアップ画面に戻ります",
};

// Help alert.
inline constexpr const char* javaScriptHelpTitle = "Brave / Chrome の追加設定";
inline constexpr const char* javaScriptHelpText =
    "Lumivane "
    "はブラウザのリモートデバッグ接続を通してページ全体を撮影します。次のどちらかで接続を用意してください。\n\n"
    "1. ブラウザの画面でオンにする(Chrome 144 以降。Brave と Chromium も、この画面がある版なら同じです): "
    "アドレスバーに chrome://inspect/#remote-debugging "
    "を入力し、リモートデバッグを許可します。いつものプロファイルのまま使え、"
    "最初の接続のときにブラウザが確認を求めたら許可します。\n"
    "2. 撮影用の別プロファイルで起動する: ブラウザをいったんすべて終了してから、端末で"
    "「google-chrome --remote-debugging-port=9222 --user-data-dir=$HOME/.config/lumivane-chrome」"
    "(Brave は「brave-browser --remote-debugging-port=9222 --user-data-dir=$HOME/.config/lumivane-brave」、"
    "Chromium は「chromium --remote-debugging-port=9222 --user-data-dir=$HOME/.config/lumivane-chromium」)"
    "を実行します。Chrome はいつものプロファイルではこのフラグを無視し、ウィンドウが 1 "
    "つでも残っているとフラグは効きません。\n\n"
    "注意: "
    "リモートデバッグ接続が開いている間は、このコンピューターで動くほかのプログラムも、そのプロファイルで開いているペー"
    "ジや"
    "ログイン情報を読み取り、操作できます。使わないときはオフにするか、撮影専用のプロファイルを使ってください。\n\n"
    "設定後は「前面ブラウザで連携を確認」を押すと疎通を確認できます。";

// Error advice, each given once per message.
inline constexpr const char* debuggingSetupAdvice =
    "chrome://inspect/#remote-debugging でリモートデバッグを許可するか(Chrome 144 "
    "以降)、ブラウザをいったんすべて終了してから "
    "--remote-debugging-port=9222 と --user-data-dir を付けて起動し直してください。";
inline constexpr const char* debuggingSecurityNote =
    "リモートデバッグ接続が開いている間は、ほかのプログラムもそのプロファイルのページを読み取れます。";
inline constexpr const char* connectionCheckAdvice = " のリモートデバッグ接続が開いたままか確認してください。";
inline constexpr const char* otherBrowserAdvice =
    " 自身のリモートデバッグ接続をオンにしてください。別のブラウザの接続では撮影しません。";
inline constexpr const char* notAWebPageAdvice =
    "http・https・file のページを開いたタブを前面にしてから、もう一度実行してください。";

} // namespace lumivane::browser_setup_texts
