// Whole-page capture against a real Chromium on the test's Xvfb.
#include "ChromiumSession.h"
#include "TestPages.h"

#include "browser/BrowserCaptureError.h"
#include "browser/BrowserFullPageCaptureService.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::ChromiumSession;
using lumivane::test::XvfbBrowserEnvironment;
using lumivane::test::bandColor;
using lumivane::test::bandsPage;
using lumivane::test::near;

namespace {

constexpr auto chrome = SupportedBrowser::googleChrome;

// Every element's tag and exact style attribute (null when absent), in document order.
const char* styleSnapshotScript =
    "JSON.stringify(Array.from(document.querySelectorAll('*')).map(e => [e.tagName, e.getAttribute('style'), "
    "e.getAttributeNames().filter(n => n.startsWith('data-lumivane')).length]));";

class ChromiumCapture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session = new ChromiumSession(); }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }
    void SetUp() override {
        if (!session->isRunning()) GTEST_SKIP() << session->errorText().toStdString();
        bridge = std::make_unique<DevToolsBridge>(session->bridgeOptions());
        env = std::make_unique<XvfbBrowserEnvironment>(session->pid());
        service = std::make_unique<BrowserFullPageCaptureService>(*env, *bridge);
    }
    void open(const QString& name, const QString& html) {
        ASSERT_TRUE(session->openPage(session->writePage(name, html), *bridge)) << name.toStdString();
    }
    QString js(const QString& script) { return bridge->runJavaScript(script, chrome); }

    static ChromiumSession* session;
    std::unique_ptr<DevToolsBridge> bridge;
    std::unique_ptr<XvfbBrowserEnvironment> env;
    std::unique_ptr<BrowserFullPageCaptureService> service;
};
ChromiumSession* ChromiumCapture::session = nullptr;

TEST_F(ChromiumCapture, LongPageComesOutAsOneImageWithBandsInOrder) {
    open("bands.html", bandsPage(20, 300));
    const BrowserPageInfo before = service->automation().fetchPageInfo(chrome);
    ASSERT_EQ(before.pageHeight, 6000);
    const BrowserCaptureResult result = service->captureFrontmostBrowserPageByScrolling(chrome);
    ASSERT_TRUE(result.image);
    const QImage& img = *result.image;
    EXPECT_EQ(img.width(), ChromiumSession::windowWidth);
    EXPECT_EQ(img.height(), 6000);
    EXPECT_GT(env->captureCount, 8);
    for (int i = 0; i < 20; ++i) {
        for (int y : {i * 300 + 3, i * 300 + 150, i * 300 + 296})
            EXPECT_TRUE(near(img.pixelColor(20, y), bandColor(i)))
                << "band " << i + 1 << " y " << y << " got " << img.pixelColor(20, y).name().toStdString();
    }
    img.save(QDir::temp().filePath("lumivane-browser-bands.png"));
    EXPECT_EQ(result.pageInfo.scrollY, 0);
}

TEST_F(ChromiumCapture, StickyHeaderAndChatBubbleAreHiddenDuringCaptureAndRestoredExactly) {
    const QString extra =
        "<header id=head style=\"position: sticky; top: 0; height: 60px; background: rgb(255, 0, 0)\">H</header>"
        "<div id=bubble style=\"position:fixed;right:10px;bottom:10px;width:300px;height:400px;"
        "background:rgb(0,255,0)\"></div>"
        "<div id=modal style=\"position:fixed;left:2.5%;top:2.5%;width:95%;height:95%;"
        "background:rgba(0,0,255,0.02)\"></div>"
        "<p id=plain>no style</p>";
    open("sticky.html", bandsPage(8, 300, extra) + "<script>document.documentElement.style.color='black';</script>");
    const QString before = js(styleSnapshotScript);
    std::vector<QString> during;
    env->beforeCapture = [&] {
        during.push_back(js("[getComputedStyle(head).visibility, getComputedStyle(head).display, "
                            "getComputedStyle(head).opacity, getComputedStyle(head).pointerEvents, "
                            "getComputedStyle(bubble).display, getComputedStyle(modal).display, "
                            "document.documentElement.style.scrollBehavior].join()"));
    };
    const BrowserCaptureResult result = service->captureFrontmostBrowserPageByScrolling(chrome);
    ASSERT_FALSE(during.empty());
    for (const QString& d : during) EXPECT_EQ(d, "hidden,block,0,none,none,block,auto");
    EXPECT_EQ(js(styleSnapshotScript), before);
    EXPECT_EQ(js("head.getAttribute('style')"), "position: sticky; top: 0; height: 60px; background: rgb(255, 0, 0)");
    EXPECT_EQ(js("String(plain.hasAttribute('style'))"), "false");
    // Neither the header nor the bubble shows anywhere in the stitched page.
    const QImage& img = *result.image;
    int red = 0, green = 0;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 5) {
            const QColor c = img.pixelColor(x, y);
            red += near(c, QColor(255, 0, 0), 20);
            green += near(c, QColor(0, 255, 0), 20);
        }
    EXPECT_EQ(red, 0);
    EXPECT_EQ(green, 0);
}

TEST_F(ChromiumCapture, PageScrolledToTheMiddleIsScrolledBack) {
    open("middle.html", bandsPage(12, 300));
    js("window.scrollTo(0, 1700); 'ok';");
    const BrowserCaptureResult result = service->captureFrontmostBrowserPageByScrolling(chrome);
    EXPECT_EQ(js("String(window.scrollY)"), "1700");
    EXPECT_TRUE(near(result.image->pixelColor(20, 150), bandColor(0)));
}

TEST_F(ChromiumCapture, ShortPageGivesOneSlice) {
    open("short.html", bandsPage(1, 200));
    const BrowserCaptureResult result = service->captureFrontmostBrowserPageByScrolling(chrome);
    EXPECT_EQ(env->captureCount, 1);
    const BrowserPageInfo info = result.pageInfo;
    EXPECT_EQ(result.image->height(), static_cast<int>(info.viewportHeight));
    EXPECT_EQ(result.image->width(), static_cast<int>(info.viewportWidth));
    // The capture rectangle is the content area only: its top row is the page, not the toolbar.
    EXPECT_TRUE(near(result.image->pixelColor(20, 0), bandColor(0)));
    EXPECT_TRUE(near(result.image->pixelColor(20, 199), bandColor(0)));
    EXPECT_FALSE(near(result.image->pixelColor(20, 201), bandColor(0)));
}

TEST_F(ChromiumCapture, ScriptTextArrivesOnOneLineWithQuotesAndBackslashesIntact) {
    open("plain.html", bandsPage(1, 100));
    EXPECT_EQ(js("'\"' +\n'\\\\' + 'x'"), "\"\\x");
    EXPECT_EQ(js("1 + 1"), "2");
}

TEST_F(ChromiumCapture, ErrorsMapToTheirCases) {
    open("errors.html", bandsPage(1, 100));
    try {
        js("throw new Error('boom');");
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::automationFailed);
        EXPECT_EQ(e.message(), "Error: boom");
        EXPECT_EQ(e.description(), "ブラウザ自動操作に失敗しました。Error: boom");
    }
    try {
        service->automation().runJavaScript("undefined;", chrome);
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.message(), "Google Chrome から応答を取得できませんでした。");
    }
    // A page script whose JSON lacks a key.
    EXPECT_THROW(BrowserPageInfo::decode(js("JSON.stringify({title: ''})").toUtf8()).value(), std::bad_optional_access);

    // Time-out: the browser must answer within the bridge's limit; the bridge recovers afterwards.
    DevToolsBridge quick(session->bridgeOptions(800));
    try {
        quick.runJavaScript("new Promise(() => {});", chrome);
        ADD_FAILURE() << "no time-out";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::automationFailed);
    }
    EXPECT_EQ(quick.runJavaScript("'again'", chrome), "again");

    // Nothing listening.
    DevToolsBridge::Options none;
    none.profileFolders = {QDir::temp().filePath("lumivane-no-such-profile")};
    none.fallbackPort = 1;
    DevToolsBridge unreachable(none);
    try {
        unreachable.runJavaScript("1", chrome);
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::automationFailed);
        EXPECT_TRUE(e.message().contains("--remote-debugging-port")) << e.message().toStdString();
    }

    // Not a normal web page.
    js("location.href = 'about:blank'; 'ok';");
    waitProcessingEvents(std::chrono::milliseconds(500));
    try {
        service->captureFrontmostBrowserPageByScrolling(chrome);
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::browserNotFrontmost);
    }
    // Brave requested while Chromium is in front.
    open("front.html", bandsPage(1, 100));
    try {
        service->captureFrontmostBrowserPageByScrolling(SupportedBrowser::brave);
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::browserNotFrontmost);
    }
    EXPECT_EQ(service->validateFrontmostBrowserSetup(), chrome);
}

TEST_F(ChromiumCapture, CaptureFailureMidLoopRestoresThePage) {
    open("fail.html", bandsPage(10, 300, "<div id=bar style=\"position:fixed;top:0;left:0;width:100%;height:50px;background:#123\"></div>"));
    js("window.scrollTo(0, 900); 'ok';");
    const QString before = js(styleSnapshotScript);
    env->beforeCapture = [&] {
        if (env->captureCount == 2) throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
    };
    EXPECT_THROW(service->captureFrontmostBrowserPageByScrolling(chrome), BrowserCaptureError);
    EXPECT_EQ(js(styleSnapshotScript).toStdString(), before.toStdString());
    EXPECT_EQ(js("String(window.scrollY)"), "900");
}

TEST_F(ChromiumCapture, PageThatNeverReachesItsBottomEndsWhenTheOffsetStopsAdvancing) {
    // Reports a height it never lets the viewport reach.
    open("endless.html", bandsPage(4, 300, "") +
                             "<script>Object.defineProperty(document.documentElement, 'scrollHeight', "
                             "{get: () => 1000000});</script>");
    const BrowserCaptureResult result = service->captureFrontmostBrowserPageByScrolling(chrome);
    EXPECT_LE(env->captureCount, 5);
    EXPECT_EQ(result.image->height(), 1200);
}

} // namespace
