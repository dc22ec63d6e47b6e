#include "browser/BrowserFullPageCaptureService.h"
#include "browser/BrowserPageInfo.h"
#include "browser/BrowserScripts.h"
#include "browser/BrowserWindowLocator.h"
#include "browser/DevToolsBridge.h"
#include "browser/SupportedBrowser.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace lumivane;
namespace scripts = lumivane::browser_scripts;

TEST(BrowserScripts, EscapingDoublesBackslashesThenQuotesAndFlattensLineFeeds) {
    EXPECT_EQ(scripts::escapeJavaScriptLiteral("a\\b\"c\nd"), QString("a\\\\b\\\"c d"));
    // A quote after a backslash must not be escaped twice over.
    EXPECT_EQ(scripts::escapeJavaScriptLiteral("\\\""), QString("\\\\\\\""));
    EXPECT_EQ(scripts::singleLineJavaScript("x = \"\\\\\";\ny;"), QString("x = \"\\\\\"; y;"));
}

TEST(BrowserScripts, EveryScriptSurvivesFlatteningToOneLine) {
    // No line comments: they would swallow the rest of the flattened script.
    for (const QString& s : {scripts::pageInfoScript(), scripts::prepareScript("h", "s"), scripts::restoreScript("h", "s"),
                             scripts::viewportGeometryScript()})
        EXPECT_FALSE(s.contains("//")) << s.toStdString();
    EXPECT_TRUE(scripts::prepareScript("data-a", "data-b").startsWith("(() => {\nconst hiddenMarker = \"data-a\";\nconst styleMarker = \"data-b\";"));
}

TEST(BrowserScripts, ScrollRoundsHalfAwayFromZeroAndClampsNegatives) {
    EXPECT_EQ(scripts::scrollScript(2.5), QString("window.scrollTo(0, 3); \"ok\";"));
    EXPECT_EQ(scripts::scrollTargetFor(2.49), 2);
    EXPECT_EQ(scripts::scrollTargetFor(-0.4), 0);
    EXPECT_EQ(scripts::scrollTargetFor(-7), 0);
    EXPECT_EQ(scripts::scrollTargetFor(1234.5), 1235);
}

TEST(BrowserPageInfo, AllEightKeysAreRequired) {
    const QByteArray full = R"({"title":"T","url":"https://x/","pageHeight":3000,"viewportHeight":700,)"
                            R"("viewportWidth":1280,"scrollX":0,"scrollY":12.5,"devicePixelRatio":2})";
    const auto info = BrowserPageInfo::decode(full);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->title, "T");
    EXPECT_DOUBLE_EQ(info->scrollY, 12.5);
    EXPECT_DOUBLE_EQ(info->devicePixelRatio, 2);
    EXPECT_FALSE(BrowserPageInfo::decode(QByteArray(full).replace(",\"scrollX\":0", "")));
    EXPECT_FALSE(BrowserPageInfo::decode(QByteArray(full).replace("\"T\"", "5")));
    EXPECT_FALSE(BrowserPageInfo::decode("not json"));
}

TEST(SupportedBrowser, RawValuesAndWindowClasses) {
    EXPECT_EQ(rawValue(SupportedBrowser::googleChrome), "com.google.Chrome");
    EXPECT_EQ(rawValue(SupportedBrowser::brave), "com.brave.Browser");
    EXPECT_EQ(displayName(SupportedBrowser::brave), "Brave Browser");
    EXPECT_EQ(supportedBrowserFromWmClass("google-chrome"), SupportedBrowser::googleChrome);
    EXPECT_EQ(supportedBrowserFromWmClass("Chromium"), SupportedBrowser::googleChrome);
    EXPECT_EQ(supportedBrowserFromWmClass("brave-browser"), SupportedBrowser::brave);
    EXPECT_EQ(supportedBrowserFromWmClass("firefox"), std::nullopt);
}

TEST(DevToolsDiscovery, ActivePortFileAndPageKinds) {
    const auto p = DevToolsActivePort::parse("38211\n/devtools/browser/abc\n");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->port, 38211);
    EXPECT_EQ(p->browserPath, "/devtools/browser/abc");
    EXPECT_FALSE(DevToolsActivePort::parse("70000\n"));
    EXPECT_FALSE(DevToolsActivePort::parse(""));
    const QStringList chrome = devToolsProfileFolders(SupportedBrowser::googleChrome, "/h/.config");
    EXPECT_EQ(chrome.first(), "/h/.config/google-chrome");
    EXPECT_TRUE(chrome.contains("/h/.config/chromium"));
    EXPECT_TRUE(devToolsProfileFolders(SupportedBrowser::brave, "/h/.config").contains("/h/.config/BraveSoftware/Brave-Browser"));
    EXPECT_TRUE(isNormalWebPageUrl("https://example.com/"));
    EXPECT_TRUE(isNormalWebPageUrl("file:///tmp/a.html"));
    EXPECT_FALSE(isNormalWebPageUrl("chrome://newtab/"));
    EXPECT_FALSE(isNormalWebPageUrl("about:blank"));
    EXPECT_FALSE(isNormalWebPageUrl("devtools://devtools/bundled/inspector.html"));
}

TEST(BrowserWindowLocator, NormalisationCutsOnlyBeyondTwentyFourPoints) {
    const QSizeF expected(1280, 650);
    EXPECT_EQ(BrowserWindowLocator::normalizedCaptureFrame(QRectF(10, 90, 1280, 700), expected), QRectF(10, 90, 1280, 650));
    EXPECT_EQ(BrowserWindowLocator::normalizedCaptureFrame(QRectF(10, 90, 1280, 670), QSizeF(1280, 650)),
              QRectF(10, 90, 1280, 670));
    // Wider frame: centred, x moved by floor(dw / 2).
    EXPECT_EQ(BrowserWindowLocator::normalizedCaptureFrame(QRectF(0, 0, 1311, 650), expected), QRectF(15, 0, 1280, 650));
    // Without an expected size: outward-rounded.
    EXPECT_EQ(BrowserWindowLocator::normalizedCaptureFrame(QRectF(0.5, 0.5, 10, 10), QSizeF()), QRectF(0, 0, 11, 11));
}

TEST(BrowserWindowLocator, MatchScoreFormula) {
    EXPECT_DOUBLE_EQ(BrowserWindowLocator::viewportMatchScore(QRectF(0, 0, 1280, 650), QSizeF(1280, 650)), 8000);
    const double a = 1300.0 / 600.0, e = 1280.0 / 650.0;
    EXPECT_DOUBLE_EQ(BrowserWindowLocator::viewportMatchScore(QRectF(0, 0, 1300, 600), QSizeF(1280, 650)),
                     8000 - 6 * 20 - 6 * 50 - 600 * std::abs(a - e));
    EXPECT_DOUBLE_EQ(BrowserWindowLocator::viewportMatchScore(QRectF(0, 0, 30, 20), QSizeF()), 600);
}

TEST(BrowserWindowLocator, WebAreaBeatsBetterFittingFallbackAndSmallElementsAreIgnored) {
    const QSizeF expected(1000, 700);
    LocatorElement window{"AXWindow", QPointF(0, 0), QSizeF(1000, 800), {}};
    window.children.push_back({"AXGroup", QPointF(0, 100), QSizeF(1000, 700), {}});
    window.children.push_back({"AXWebArea", QPointF(0, 60), QSizeF(900, 500), {}});
    window.children.push_back({"AXWebArea", QPointF(5, 5), QSizeF(319, 700), {}}); // too narrow
    EXPECT_EQ(BrowserWindowLocator::bestCaptureFrame(window, expected), QRectF(0, 60, 900, 500));
    window.children.pop_back();
    window.children.pop_back();
    EXPECT_EQ(BrowserWindowLocator::bestCaptureFrame(window, expected), QRectF(0, 100, 1000, 700));
    // A window without candidates gives way to the next one.
    LocatorElement empty{"AXWindow", QPointF(0, 0), QSizeF(100, 100), {}};
    EXPECT_EQ(BrowserWindowLocator::frameInWindows({empty, window}, expected), QRectF(0, 100, 1000, 700));
    EXPECT_FALSE(BrowserWindowLocator::frameInWindows({empty}, expected));
    // Among web areas only a strictly higher score replaces the first.
    LocatorElement twins{"AXWindow", QPointF(0, 0), QSizeF(1000, 800), {}};
    twins.children.push_back({"AXWebArea", QPointF(0, 1), QSizeF(1000, 700), {}});
    twins.children.push_back({"AXWebArea", QPointF(0, 2), QSizeF(1000, 700), {}});
    EXPECT_EQ(BrowserWindowLocator::bestCaptureFrame(twins, expected), QRectF(0, 1, 1000, 700));
}

TEST(BrowserWindowLocator, X11WindowGivesContentAreaBelowTheToolbar) {
    FrontmostWindowInfo window{"google-chrome", 1, QRectF(100, 50, 1004, 802)};
    BrowserViewportGeometry g;
    g.innerWidth = 1000;
    g.innerHeight = 700;
    const auto windows = BrowserWindowLocator::windowElements(window, g);
    // 2-pixel borders left, right and bottom; the toolbar takes the rest at the top.
    EXPECT_EQ(BrowserWindowLocator::frameInWindows(windows, QSizeF(1000, 700)), QRectF(102, 150, 1000, 700));
}

namespace {
ImageRef solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return makeImage(img);
}
} // namespace

TEST(BrowserStitch, SlicesArePlacedByReportedOffsetAndLastSliceOverwrites) {
    BrowserPageInfo p;
    p.viewportHeight = 100;
    p.pageHeight = 250;
    // The last slice was asked for 208 but the page stopped at 150.
    const std::vector<BrowserCapturedSegment> segs = {
        {0, solid(40, 200, Qt::red)}, {52, solid(40, 200, Qt::green)}, {150, solid(40, 200, Qt::blue)}};
    const ImageRef out = BrowserFullPageCaptureService::stitch(segs, p); // scale 2
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), QSize(40, 500));
    EXPECT_EQ(out->pixelColor(5, 103), QColor(Qt::red));
    EXPECT_EQ(out->pixelColor(5, 104), QColor(Qt::green));
    EXPECT_EQ(out->pixelColor(5, 299), QColor(Qt::green));
    EXPECT_EQ(out->pixelColor(5, 300), QColor(Qt::blue));
    EXPECT_EQ(out->pixelColor(5, 499), QColor(Qt::blue));
}

TEST(BrowserStitch, CanvasCoversLastSliceBeyondReportedHeightAndSingleSliceSitsAtTop) {
    BrowserPageInfo p;
    p.viewportHeight = 100;
    p.pageHeight = 120;
    const ImageRef two =
        BrowserFullPageCaptureService::stitch({{0, solid(10, 100, Qt::red)}, {60, solid(10, 100, Qt::blue)}}, p);
    EXPECT_EQ(two->height(), 160);
    const ImageRef one = BrowserFullPageCaptureService::stitch({{30, solid(10, 100, Qt::red)}}, p);
    EXPECT_EQ(one->height(), 130);
    EXPECT_EQ(one->pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(one->pixelColor(0, 110).alpha(), 0); // uncovered part stays transparent
    EXPECT_FALSE(BrowserFullPageCaptureService::stitch({}, p));
    EXPECT_FALSE(BrowserFullPageCaptureService::stitch({{0, nullptr}}, p));
}

TEST(BrowserStitch, OutputLimits) {
    const ImageRef tall = solid(1600, 24000, Qt::darkCyan);
    EXPECT_EQ(BrowserFullPageCaptureService::normalizedOutputImage(tall)->size(), QSize(466, 7000));
    // Pixel budget: 5000 × 5000 exceeds 20,000,000 pixels, b = 0.894.
    EXPECT_EQ(BrowserFullPageCaptureService::normalizedOutputImage(solid(5000, 5000, Qt::red))->size(), QSize(4472, 4472));
    const ImageRef small = solid(1000, 6990, Qt::red);
    EXPECT_EQ(BrowserFullPageCaptureService::normalizedOutputImage(small), small); // s ≥ 0.999: unchanged
}
