#include "browser/BrowserAutomationService.h"
#include "browser/BrowserFullPageCaptureService.h"
#include "browser/BrowserPageInfo.h"
#include "browser/BrowserPageParts.h"
#include "browser/BrowserScripts.h"
#include "browser/DevToolsBridge.h"
#include "browser/SupportedBrowser.h"

#include <QBuffer>
#include <QPainter>
#include <cmath>
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
    const scripts::Markers m{"data-a", "data-b", "data-c"};
    for (const QString& s : {scripts::pageInfoScript(), scripts::prepareScript(m), scripts::restoreScript(m, 1, 2),
                             scripts::scrollAndMeasureScript(m, 3, 4), scripts::layoutScript(m)})
        EXPECT_FALSE(s.contains("//")) << s.toStdString();
    EXPECT_TRUE(scripts::prepareScript(m).startsWith("(() => {\nconst hiddenMarker = \"data-a\";\nconst styleMarker = "
                                                     "\"data-b\";\nconst scrollerMarker = \"data-c\";"));
    // Hidden by visibility only: display would reflow the page.
    EXPECT_FALSE(scripts::prepareScript(m).contains("\"display\""));
}

TEST(BrowserScripts, ScrollRoundsHalfAwayFromZeroAndClampsNegatives) {
    EXPECT_TRUE(scripts::scrollAndMeasureScript({}, 2.5, 7.5).contains("const targetX = 3;\nconst targetY = 8;"));
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
    EXPECT_EQ(supportedBrowserFromWmClass("Chromium"), SupportedBrowser::chromium);
    EXPECT_EQ(supportedBrowserFromWmClass("chromium (/tmp/profile)"), SupportedBrowser::chromium);
    EXPECT_EQ(displayName(SupportedBrowser::chromium), "Chromium");
    EXPECT_EQ(supportedBrowserFromRawValue("org.chromium.Chromium"), SupportedBrowser::chromium);
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
    const QStringList chrome = devToolsProfileFolders(SupportedBrowser::googleChrome, "/h/.config", "/h");
    EXPECT_EQ(chrome.first(), "/h/.config/google-chrome");
    EXPECT_FALSE(chrome.contains("/h/.config/chromium")); // another browser's endpoint is never taken for Chrome's
    EXPECT_EQ(devToolsProfileFolders(SupportedBrowser::chromium, "/h/.config", "/h").first(), "/h/.config/chromium");
    EXPECT_TRUE(devToolsProfileFolders(SupportedBrowser::brave, "/h/.config", "/h")
                    .contains("/h/.config/BraveSoftware/Brave-Browser"));
    EXPECT_TRUE(
        devToolsProfileFolders(SupportedBrowser::chromium, "/c", "/h").contains("/h/snap/chromium/common/chromium"));
    EXPECT_TRUE(isNormalWebPageUrl("https://example.com/"));
    EXPECT_TRUE(isNormalWebPageUrl("file:///tmp/a.html"));
    EXPECT_FALSE(isNormalWebPageUrl("chrome://newtab/"));
    EXPECT_FALSE(isNormalWebPageUrl("about:blank"));
    EXPECT_FALSE(isNormalWebPageUrl("devtools://devtools/bundled/inspector.html"));
}

namespace {
ImageRef solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return makeImage(img);
}
} // namespace

BrowserCapturedSegment slice(double x, double y, int w, int h, QColor c, QRect crop = {}) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    solid(w, h, c)->save(&buffer, "png");
    return {x, y, png, crop.isNull() ? QRect(0, 0, w, h) : crop};
}

TEST(BrowserStitch, SlicesArePlacedByReportedOffsetAndTheCanvasCoversWhatWasCaptured) {
    // Scale 2; the last slice was asked for 208 but the page stopped at 150.
    const ImageRef out = BrowserFullPageCaptureService::stitch(
        {slice(0, 0, 40, 200, Qt::red), slice(0, 52, 40, 200, Qt::green), slice(0, 150, 40, 200, Qt::blue)}, 2);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), QSize(40, 500));
    EXPECT_EQ(out->pixelColor(5, 103), QColor(Qt::red));
    EXPECT_EQ(out->pixelColor(5, 104), QColor(Qt::green));
    EXPECT_EQ(out->pixelColor(5, 299), QColor(Qt::green));
    EXPECT_EQ(out->pixelColor(5, 300), QColor(Qt::blue));
    EXPECT_EQ(out->pixelColor(5, 499), QColor(Qt::blue));
    // Columns, and a crop that leaves out a scrollbar and a header inside the viewport.
    const QRect crop(0, 10, 50, 50);
    const std::vector<BrowserCapturedSegment> columns{slice(0, 0, 60, 60, Qt::red, crop),
                                                      slice(40, 0, 60, 60, Qt::blue, crop),
                                                      slice(0, 45, 60, 60, Qt::green, crop)};
    const ImageRef grid = BrowserFullPageCaptureService::stitch(columns, 1);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->size(), QSize(90, 95));
    // The same slices through the pipeline, decoded while added and composed at the end:
    // prepared for the page's size, or for one it then turned out not to have (decoded again).
    for (const double preparedHeight : {95.0, 1e6}) {
        BrowserSliceStitcher pipeline(1);
        for (const auto& s : columns)
            pipeline.add(s, 90, preparedHeight);
        const ImageRef piped = pipeline.finish();
        ASSERT_TRUE(piped) << preparedHeight;
        EXPECT_EQ(piped->convertToFormat(QImage::Format_RGB32), grid->convertToFormat(QImage::Format_RGB32))
            << preparedHeight;
    }
    EXPECT_EQ(grid->pixelColor(39, 0), QColor(Qt::red));
    EXPECT_EQ(grid->pixelColor(40, 0), QColor(Qt::blue));
    EXPECT_EQ(grid->pixelColor(10, 94), QColor(Qt::green));
    EXPECT_EQ(grid->pixelColor(80, 94), QColor(Qt::white)); // never captured: opaque, never a transparent band
    EXPECT_FALSE(grid->hasAlphaChannel());
    EXPECT_FALSE(BrowserFullPageCaptureService::stitch({}, 1));
    EXPECT_FALSE(BrowserFullPageCaptureService::stitch({{0, 0, QByteArray("not png"), QRect(0, 0, 5, 5)}}, 1));
}

TEST(BrowserStitch, OutputLimitsApplyWhileStitching) {
    EXPECT_NEAR(BrowserFullPageCaptureService::outputScale(1600, 24000), 7000.0 / 24000, 1e-12);
    // Pixel budget: 5000 × 5000 exceeds 20,000,000 pixels, b = 0.894.
    EXPECT_NEAR(BrowserFullPageCaptureService::outputScale(5000, 5000), std::sqrt(0.8), 1e-12);
    EXPECT_EQ(BrowserFullPageCaptureService::outputScale(1000, 6990), 1.0); // s ≥ 0.999: unchanged
    // 40 slices of 1600 × 600 placed 600 apart: a 1600 × 24000 page comes out 466 × 7000,
    // its colours in order.
    std::vector<BrowserCapturedSegment> slices;
    for (int i = 0; i < 40; ++i)
        slices.push_back(slice(0, i * 600, 1600, 600, i % 2 ? Qt::blue : Qt::red));
    const ImageRef out = BrowserFullPageCaptureService::stitch(slices, 1);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), QSize(466, 7000));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(out->pixelColor(200, int((i * 600 + 300) * 7000.0 / 24000)), QColor(i % 2 ? Qt::blue : Qt::red)) << i;
}

TEST(BrowserScrollLayout, EveryNumberIsRequired) {
    const QByteArray full =
        R"({"element":true,"x":0,"y":40,"maxX":0,"maxY":900,"contentWidth":800,"contentHeight":1500,)"
        R"("clipLeft":0,"clipTop":60,"clipWidth":785,"clipHeight":600,"innerWidth":800,"innerHeight":660,"devicePixelRatio":1})";
    const auto l = BrowserScrollLayout::decode(full);
    ASSERT_TRUE(l);
    EXPECT_TRUE(l->element);
    EXPECT_EQ(l->clip, QRectF(0, 60, 785, 600));
    EXPECT_FALSE(BrowserScrollLayout::decode(QByteArray(full).replace("\"maxY\":900,", "")));
}

TEST(BrowserCaptureOmissions, NameTheMissingRange) {
    const BrowserCaptureOmission below{BrowserCaptureOmission::Kind::stoppedScrolling, 1234.4, 0, 0, 5000};
    EXPECT_TRUE(japaneseDescription(below).contains("上から 5000〜6234 px"))
        << japaneseDescription(below).toStdString();
    EXPECT_TRUE(englishDescription(below).contains("rows 5000-6234 px from the top"));
    const BrowserCaptureOmission right{BrowserCaptureOmission::Kind::sliceLimit, 0, 300, 0, 2000};
    EXPECT_TRUE(japaneseDescription(right).contains("左から 2000〜2300 px"));
    EXPECT_TRUE(below.missesPageContent());
    EXPECT_FALSE(BrowserCaptureOmission{BrowserCaptureOmission::Kind::otherScrollAreas}.missesPageContent());
    EXPECT_EQ(englishDescription({BrowserCaptureOmission::Kind::otherScrollAreas, 0, 0, 2}),
              "2 other scrolling area(s) inside the page show only their visible part");
}

TEST(BrowserPageParts, OnlyPagesTheLimitsWouldMakeUnreadableAreSplitAtAReadableScale) {
    EXPECT_FALSE(browser_parts::needsSplit(QSize(1000, 6990)));
    EXPECT_TRUE(browser_parts::needsSplit(QSize(1000, 14000)));
    EXPECT_TRUE(browser_parts::needsSplit(QSize(500, 8000)));   // narrower than readable already: not shrunk further
    EXPECT_FALSE(browser_parts::needsSplit(QSize(2000, 7000))); // 1,750 wide after the limits
    EXPECT_EQ(browser_parts::partScale(QSize(1000, 14000)), 1.0);
    EXPECT_EQ(browser_parts::partScale(QSize(2000, 30000)), 0.5);
    using Rows = std::vector<std::pair<qint64, qint64>>;
    EXPECT_EQ(browser_parts::partRows(QSize(1000, 14000)), (Rows{{0, 7000}, {7000, 14000}}));
    EXPECT_EQ(browser_parts::partRows(QSize(2000, 30000)), (Rows{{0, 14000}, {14000, 28000}, {28000, 30000}}));
    EXPECT_EQ(browser_parts::numberedPartPath("/a/b.c/page.png", 3), "/a/b.c/page-part3.png");
    EXPECT_EQ(browser_parts::numberedPartPath("page", 1), "page-part1");
}

TEST(BrowserPageParts, APartOverTheByteBudgetIsCutInsteadOfShrunk) {
    QImage noise(400, 1800, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
    const int budget =
        ImageExportOptions::output(ImageExportProfile::browserFullPage, CaptureQualityPreset::low).byteBudget;
    const std::vector<QByteArray> files = browser_parts::encodedParts(
        {makeImage(noise)}, ScreenshotFileFormat::png, ImageExportProfile::browserFullPage, CaptureQualityPreset::low);
    ASSERT_GT(files.size(), 1u);
    int height = 0;
    for (const QByteArray& f : files) {
        EXPECT_LE(f.size(), budget);
        const QImage part = QImage::fromData(f, "png");
        EXPECT_EQ(part.width(), 400);
        EXPECT_EQ(part.pixel(7, 0), noise.pixel(7, height));
        height += part.height();
    }
    EXPECT_EQ(height, 1800);
}
