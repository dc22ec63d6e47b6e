#include "capture/CaptureService.h"
#include "DisplayScope.h"
#include "FillRoot.h"
#include "XvfbServer.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Screens.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace lumivane;
using test::DisplayScope;
using test::fillRoot;

namespace {

QImage await(QFuture<ImageRef> f) {
    f.waitForFinished();
    ImageRef img = f.result();
    return img ? *img : QImage();
}

CaptureError::Kind awaitError(QFuture<ImageRef> f) {
    try {
        f.waitForFinished();
        f.result();
    } catch (const CaptureError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "capture did not fail";
    return CaptureError::Kind::imageConversionFailed;
}

} // namespace

TEST(CaptureServicePlan, SortsByMinXThenMinYAndSkipsEdgeTouches) {
    ScreenInfo a, b, c;
    a.frame = QRectF(1000, 0, 1000, 800);
    b.frame = QRectF(0, 0, 1000, 800);
    c.frame = QRectF(0, 800, 1000, 800);
    const auto plan = CaptureService::planSegments({a, c, b}, QRectF(500, 100, 1000, 1000));
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].screenFrame, b.frame);
    EXPECT_EQ(plan[1].screenFrame, c.frame);
    EXPECT_EQ(plan[2].screenFrame, a.frame);
    EXPECT_EQ(plan[2].index, 2);
    EXPECT_EQ(plan[0].intersection, QRectF(500, 100, 500, 700));
    EXPECT_TRUE(CaptureService::planSegments({a, b}, QRectF(2000, 0, 50, 50)).empty());
}

TEST(CaptureServiceCompose, HighestScaleWinsAndUncoveredStaysTransparent) {
    QImage one(10, 10, QImage::Format_RGB32);
    one.fill(Qt::red);
    QImage two(20, 20, QImage::Format_RGB32);
    two.fill(Qt::blue);
    const QImage out = CaptureService::composeCapturedSegments(
        {{one, QRectF(0, 0, 10, 10), 1.0}, {two, QRectF(10, 0, 10, 10), 2.0}}, QRectF(0, 0, 30, 10));
    ASSERT_EQ(out.size(), QSize(60, 20));
    EXPECT_EQ(out.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(19, 19), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(25, 5), qRgb(0, 0, 255));
    EXPECT_EQ(qAlpha(out.pixel(45, 10)), 0);
}

class TwoMonitorCapture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isRunning()) << qPrintable(server.errorText());
        scope = std::make_unique<DisplayScope>(server.display());
        // Two monitors side by side on one root: 1000x800 primary, 600x500 at its right.
        ASSERT_EQ(QProcess::execute("xrandr", {"--setmonitor", "A", "1000/260x800/200+0+0", "screen"}), 0);
        ASSERT_EQ(QProcess::execute("xrandr", {"--setmonitor", "B", "600/160x500/130+1000+0", "none"}), 0);
        QProcess::execute("xrandr", {"--output", "screen", "--primary"});
        fillRoot({{QRect(0, 0, 1600, 800), qRgb(0, 0, 0)},
                  {QRect(0, 0, 500, 400), qRgb(255, 0, 0)},
                  {QRect(500, 0, 500, 400), qRgb(0, 255, 0)},
                  {QRect(1000, 0, 600, 500), qRgb(0, 0, 255)}});
        auto desktop = makeX11Backend();
        ASSERT_NE(desktop, nullptr);
        service = std::make_unique<CaptureService>(*desktop);
        ASSERT_NE(service, nullptr);
    }

    test::XvfbServer server{{"-screen", "0", "1600x800x24"}};
    std::unique_ptr<DisplayScope> scope;
    std::unique_ptr<CaptureService> service;
};

TEST_F(TwoMonitorCapture, ScreensUseBottomLeftGlobalSpace) {
    auto x11 = X11Screens::connect();
    const auto screens = x11->screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].frame, QRectF(0, 0, 1000, 800));
    // The right monitor's top edge is level with the main one's: y up puts its origin 300 above the bottom.
    EXPECT_EQ(screens[1].frame, QRectF(1000, 300, 600, 500));
    EXPECT_TRUE(screens[0].screenId.has_value());
}

// Rectangle space: y down from each screen's frame minY. y=300 is X row 300 on the main
// screen (minY 0) but the top row of the right one (minY 300); beyond x 1600 nothing.
TEST_F(TwoMonitorCapture, RectanglesAcrossAndPartlyOutsideTheScreensMatchThePattern) {
    constexpr QRgb transparent = 0;
    const struct {
        QRectF rect;
        std::vector<std::pair<QPoint, QRgb>> pixels;
    } cases[] = {
        {{450, 300, 600, 100},
         {{{10, 10}, qRgb(255, 0, 0)}, {{100, 10}, qRgb(0, 255, 0)}, {{590, 10}, qRgb(0, 0, 255)}}},
        {{450, 0, 600, 100}, {{{590, 10}, transparent}, {{10, 10}, qRgb(255, 0, 0)}}}, // above the right screen
        {{1500, 300, 200, 50}, {{{50, 25}, qRgb(0, 0, 255)}, {{150, 25}, transparent}}},
    };
    for (const auto& c : cases) {
        const QImage img = await(service->capture(c.rect));
        ASSERT_EQ(img.size(), c.rect.size().toSize());
        for (const auto& [at, rgb] : c.pixels)
            EXPECT_EQ(rgb == transparent ? QRgb(qAlpha(img.pixel(at))) : img.pixel(at), rgb)
                << c.rect.x() << "," << c.rect.y() << " at " << at.x() << "," << at.y();
    }
}

TEST_F(TwoMonitorCapture, EdgeTouchingRectangleFails) {
    EXPECT_EQ(awaitError(service->capture(QRectF(1600, 300, 0, 50))), CaptureError::Kind::captureFailed);
    EXPECT_EQ(awaitError(service->capture(QRectF(1600, 300, 40, 50))), CaptureError::Kind::captureFailed);
}

TEST_F(TwoMonitorCapture, FullScreenCapturesScreenUnderPointer) {
    QProcess::execute("xdotool", {"mousemove", "1200", "100"});
    const QImage img = await(service->captureFullScreen());
    ASSERT_EQ(img.size(), QSize(600, 500));
    EXPECT_EQ(img.pixel(300, 250) & 0xffffff, 0x0000ffu);
}

TEST(ScreenGrabberDepth, SixteenBitVisualConvertsColours) {
    test::XvfbServer server({"-screen", "0", "640x480x16"});
    ASSERT_TRUE(server.isRunning());
    DisplayScope scope(server.display());
    fillRoot({{QRect(0, 0, 320, 480), qRgb(255, 0, 0)}, {QRect(320, 0, 320, 480), qRgb(0, 0, 255)}});
    auto x11 = X11Screens::connect();
    ASSERT_NE(x11, nullptr);
    const QImage img = x11->grabRoot(QRect(300, 10, 40, 10));
    ASSERT_EQ(img.size(), QSize(40, 10));
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(30, 5), qRgb(0, 0, 255));
}
