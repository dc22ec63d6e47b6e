// The Linux setup and help texts tell the user how to open the endpoint the bridge uses.
#include "browser/BrowserSetupTexts.h"
#include "browser/DevToolsBridge.h"
#include "browser/SupportedBrowser.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace lumivane;
namespace texts = lumivane::browser_setup_texts;

TEST(BrowserSetupTexts, EndpointInstructionsNameTheBridgesPortAndRecognisedBrowsers) {
    const QString flag = QStringLiteral("--remote-debugging-port=%1").arg(DevToolsBridge::Options{}.fallbackPort);
    for (const char* text : {texts::automationVerificationNeeded, texts::browserJavaScriptVerificationNeeded,
                             texts::checkProcedureLines[1], texts::javaScriptHelpText, texts::automationFailedAdvice,
                             texts::pageInfoUnavailableAdvice})
        EXPECT_TRUE(QString::fromUtf8(text).contains(flag)) << text;

    // Every command the help suggests starts a browser whose windows are recognised.
    const QRegularExpression command(QStringLiteral("「([a-z-]+) --remote-debugging-port=\\d+」"));
    int commands = 0;
    for (auto m = command.globalMatch(QString::fromUtf8(texts::javaScriptHelpText)); m.hasNext(); ++commands) {
        const QString program = m.next().captured(1);
        EXPECT_TRUE(supportedBrowserFromWmClass(program)) << program.toStdString();
    }
    EXPECT_EQ(commands, 3);

    int line = 1;
    for (const char* text : texts::checkProcedureLines)
        EXPECT_TRUE(QString::fromUtf8(text).startsWith(QStringLiteral("%1. ").arg(line++))) << text;
    EXPECT_EQ(line, 5);
}
