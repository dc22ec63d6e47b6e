// The Linux setup, help and error texts tell the user the ways to open a debugging
// endpoint that work with current browsers, and never speak of another system.
#include "browser/BrowserSetupTexts.h"
#include "app/ErrorMessages.h"
#include "browser/BrowserCaptureError.h"
#include "browser/DevToolsBridge.h"
#include "browser/SupportedBrowser.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace lumivane;
namespace texts = lumivane::browser_setup_texts;

namespace {

QStringList allBrowserTexts() {
    QStringList out;
    for (const char* t :
         {texts::automationTitle, texts::automationPurpose, texts::automationVerified,
          texts::automationVerificationNeeded, texts::browserJavaScriptTitle, texts::browserJavaScriptPurpose,
          texts::browserJavaScriptVerified, texts::browserJavaScriptVerificationNeeded, texts::checkProcedureTitle,
          texts::javaScriptHelpTitle, texts::javaScriptHelpText})
        out << QString::fromUtf8(t);
    for (const char* t : texts::checkProcedureLines)
        out << QString::fromUtf8(t);
    using K = BrowserCaptureError::Kind;
    for (K k : {K::automationFailed, K::unsupportedBrowser, K::browserNotFrontmost, K::pageInfoUnavailable,
                K::browserWindowUnavailable, K::captureFailed, K::debuggingUnavailable, K::otherBrowserAnswered,
                K::notAWebPage, K::captureInProgress})
        out << userFacingErrorMessage(BrowserCaptureError(k, "detail", "Chromium"));
    out << AlertTexts::browserJavaScriptHelp().informativeText;
    return out;
}

} // namespace

TEST(BrowserSetupTexts, ExplainTheInspectSwitchASeparateProfileQuittingFirstAndTheRisk) {
    const QString help = QString::fromUtf8(texts::javaScriptHelpText);
    EXPECT_TRUE(help.contains("chrome://inspect/#remote-debugging"));
    EXPECT_TRUE(help.contains("Chrome 144"));
    EXPECT_TRUE(help.contains("--user-data-dir="));
    EXPECT_TRUE(help.contains("すべて終了"));       // quit before restarting with a flag
    EXPECT_TRUE(help.contains("ほかのプログラム")); // what an open port means
    // Every command the help suggests starts a browser whose windows are recognised, with the bridge's fixed port.
    const QRegularExpression command(
        QStringLiteral("「([a-z-]+) --remote-debugging-port=(\\d+) --user-data-dir=[^」]+」"));
    int commands = 0;
    for (auto m = command.globalMatch(help); m.hasNext(); ++commands) {
        const auto match = m.next();
        EXPECT_TRUE(supportedBrowserFromWmClass(match.captured(1))) << match.captured(1).toStdString();
        EXPECT_EQ(match.captured(2).toUInt(), DevToolsBridge::Options{}.fallbackPort);
    }
    EXPECT_EQ(commands, 3);
    int line = 1;
    for (const char* text : texts::checkProcedureLines)
        EXPECT_TRUE(QString::fromUtf8(text).startsWith(QStringLiteral("%1. ").arg(line++))) << text;
}

TEST(BrowserSetupTexts, NoOtherSystemsWordingAndEachAdviceOnce) {
    for (const QString& t : allBrowserTexts())
        for (const char* word : {"Apple", "システム設定", "このMac", "⌘", "macOS", "AppleScript"})
            EXPECT_FALSE(t.contains(QString::fromUtf8(word))) << t.toStdString();
    for (const QString& t : allBrowserTexts()) {
        EXPECT_LE(t.count("chrome://inspect"), 1) << t.toStdString();
        EXPECT_LE(t.count("リモートデバッグ接続が開いたまま"), 1) << t.toStdString();
    }
    // Messages name the browser in front.
    EXPECT_TRUE(
        userFacingErrorMessage(BrowserCaptureError(BrowserCaptureError::Kind::debuggingUnavailable, {}, "Chromium"))
            .startsWith("Chromium のリモートデバッグ接続が見つかりませんでした。"));
    EXPECT_EQ(userFacingErrorMessage(BrowserCaptureError(BrowserCaptureError::Kind::notAWebPage, "chrome://newtab/")),
              "前面のタブは通常の Web ページではありません(chrome://newtab/)。\n\n"
              "http・https・file のページを開いたタブを前面にしてから、もう一度実行してください。");
}
