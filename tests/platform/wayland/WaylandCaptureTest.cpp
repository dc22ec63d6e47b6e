// Capture in a headless Wayland desktop through the screenshot portal (asked for: sway
// also offers direct capture): the backend chosen from the session, the portal's
// screenshot cut per output at scales 1 and 2, a rectangle over both outputs,
// the command line, and the X11 path refusing on Xwayland.
#include "FutureResult.h"
#include "OverlayPanels.h"
#include "WaylandSession.h"
#include "capture/CaptureService.h"
#include "platform/DesktopBackend.h"
#include "platform/wayland/SessionCaptureChecks.h"
#include "platform/x11/X11Screens.h"

#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace lumivane;
using test::allPixels;
using test::await;
using test::runProgram;
using test::screenAt;
using test::waitForPanels;
using test::WaylandSession;

namespace {

// The pixels of a scale-1 output: opaque, exact inside; on its outermost pixels within
// one step of rounding, where the portal's enlarged copy blended them with the
// transparent surroundings.
::testing::AssertionResult scaleOneOutput(const QImage& image, QRgb colour) {
    const QRect inside = image.rect().adjusted(1, 1, -1, -1);
    if (auto r = allPixels(image.copy(inside), colour); !r)
        return r;
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qAlpha(p) != 255 || std::abs(qRed(p) - qRed(colour)) > 1 || std::abs(qGreen(p) - qGreen(colour)) > 1 ||
                std::abs(qBlue(p) - qBlue(colour)) > 1)
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << std::hex << p;
        }
    return ::testing::AssertionSuccess();
}

class WaylandCapture : public ::testing::Test {
protected:
    void SetUp() override {
        session = test::sharedWayland();
        ASSERT_NE(session, nullptr);
        // sway copies outputs to clients itself; these cases are about the portal
        // (the command line started below inherits the choice).
        qputenv("LUMIVANE_WAYLAND_CAPTURE", "portal");
        desktop = loadDesktopBackend();
        ASSERT_EQ(desktop->windowSystem, WindowSystem::wayland);
    }
    WaylandSession* session = nullptr;
    std::shared_ptr<DesktopBackend> desktop;
};

} // namespace

TEST_F(WaylandCapture, SessionChoosesWaylandServicesWithOutputsInTheCoreSpace) {
    EXPECT_EQ(sessionWindowSystem(), WindowSystem::wayland);
    EXPECT_TRUE(desktop->capabilities.slowCapture);
    EXPECT_FALSE(desktop->capabilities.grabsGlobalKeys);
    EXPECT_FALSE(desktop->capabilities.seesOtherWindows);
    EXPECT_FALSE(desktop->grabber);
    ASSERT_TRUE(desktop->snapshots);
    EXPECT_FALSE(desktop->screens->pointerLocation());
    const auto screens = desktop->screens->screens();
    ASSERT_EQ(screens.size(), 2u);
    const auto one = screenAt(screens, {0, 0}), two = screenAt(screens, {1920, 0});
    ASSERT_TRUE(one && two);
    EXPECT_EQ(one->nativeGeometry, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(one->scale, 1.0);
    EXPECT_EQ(two->nativeGeometry, QRect(1920, 0, 1280, 720));
    EXPECT_EQ(two->scale, 2.0);
    // y up from the main screen's bottom: the shorter output's top is level with the main one's.
    EXPECT_EQ(screens.front().frame, QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(two->frame, QRectF(1920, 360, 1280, 720));
    EXPECT_TRUE(desktop->makePermissions()->screenCaptureAllowed());
}

TEST_F(WaylandCapture, EachOutputComesOutWholeAtItsOwnScaleWithExactPixels) {
    CaptureService service(*desktop);
    const auto screens = desktop->screens->screens();
    const auto one = screenAt(screens, {0, 0}), two = screenAt(screens, {1920, 0});
    ASSERT_TRUE(one && two);

    // The portal draws the pointer into its screenshot: keep it on the other output.
    ASSERT_TRUE(session->moveCursor(3000, 600));
    const ImageRef first = await(service.capture(one->frame));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), QSize(1920, 1080));
    EXPECT_TRUE(scaleOneOutput(*first, WaylandSession::kOutput1Colour));

    ASSERT_TRUE(session->moveCursor(100, 900));
    const ImageRef second = await(service.capture(two->frame));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size(), QSize(2560, 1440));
    EXPECT_TRUE(allPixels(*second, WaylandSession::kOutput2Colour));

    // Full screen: no pointer position on Wayland, so the main (primary) output.
    const ImageRef full = await(service.captureFullScreen());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->size(), QSizeF(screens.front().frame.size() * screens.front().scale).toSize());
}

TEST_F(WaylandCapture, RectangleOverBothOutputsIsStitchedAtScaleTwo) {
    CaptureService service(*desktop);
    ASSERT_TRUE(session->moveCursor(100, 900));
    // 100 points on each side of the seam, 100 high: on the scale-2 output y counts
    // down from its own frame's minY (360), so this is 40..140 below its top edge.
    const ImageRef image = await(service.capture(QRectF(1820, 400, 200, 100)));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), QSize(400, 200));
    // The piece of the scale-1 output ends at that output's edge (its last column).
    EXPECT_TRUE(allPixels(image->copy(0, 0, 198, 200), WaylandSession::kOutput1Colour));
    EXPECT_TRUE(scaleOneOutput(image->copy(0, 0, 200, 200), WaylandSession::kOutput1Colour));
    EXPECT_EQ(qAlpha(image->pixel(199, 100)), 255);
    EXPECT_TRUE(allPixels(image->copy(200, 0, 200, 200), WaylandSession::kOutput2Colour));

    // A part outside every output stays transparent: x beyond the right output.
    const ImageRef beyond = await(service.capture(QRectF(3150, 400, 100, 20)));
    ASSERT_TRUE(beyond);
    ASSERT_EQ(beyond->size(), QSize(200, 40));
    EXPECT_TRUE(allPixels(beyond->copy(0, 0, 100, 40), WaylandSession::kOutput2Colour));
    EXPECT_EQ(qAlpha(beyond->pixel(150, 20)), 0);
}

TEST_F(WaylandCapture, CommandLineCapturesThroughThePortalAndX11RefusesInsideTheSession) {
    QTemporaryDir dir;
    ASSERT_TRUE(session->moveCursor(100, 900));
    QProcessEnvironment env = session->processEnvironment();
    env.remove("QT_QPA_PLATFORM");
    const QString out = dir.filePath("full.png");
    const auto rect = runProgram(env, LUMIVANE_BINARY, {"capture", "rect", "1920", "360", "1280", "720", "-o", out});
    EXPECT_EQ(rect.exitCode, 0) << rect.err.toStdString();
    const QImage written(out);
    EXPECT_EQ(written.size(), QSize(2560, 1440));
    EXPECT_TRUE(allPixels(written, WaylandSession::kOutput2Colour));

    // A rectangle reaching past the desktop (3200x1080 points) is refused for what it is,
    // before any portal round trip, and writes nothing.
    const QString outside = dir.filePath("outside.png");
    const auto past = runProgram(env, LUMIVANE_BINARY, {"capture", "rect", "3000", "0", "500", "500", "-o", outside});
    EXPECT_EQ(past.exitCode, 1);
    EXPECT_TRUE(past.err.contains("is not within the desktop (0,0 3200×1080)")) << past.err.toStdString();
    EXPECT_FALSE(past.err.contains("権限")) << past.err.toStdString();
    EXPECT_FALSE(QFile::exists(outside));

    // Qt forced onto xcb (Xwayland) inside the Wayland session: X11 services, and
    // their capture refuses (says why, then fails) instead of saving Xwayland's black pixels.
    env.insert("QT_QPA_PLATFORM", "xcb");
    const QString refused = dir.filePath("refused.png");
    const auto x11 = runProgram(env, LUMIVANE_BINARY, {"capture", "full", "-o", refused});
    EXPECT_NE(x11.exitCode, 0);
    EXPECT_TRUE(x11.err.contains("X11 screen capture refused")) << x11.err.toStdString();
    EXPECT_TRUE(x11.err.contains(CaptureError(CaptureError::Kind::captureFailed).description()))
        << x11.err.toStdString();
    EXPECT_FALSE(QFile::exists(refused));
}

// Reads outside the capture service refuse too (the capture's own refusal is the
// command line's, above).
TEST_F(WaylandCapture, X11ScreensOnXwaylandRefuseEveryRead) {
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", session->value("DISPLAY").toLocal8Bit());
    auto x11 = X11Screens::connect();
    qputenv("DISPLAY", saved);
    ASSERT_TRUE(x11);
    EXPECT_FALSE(x11->refusal().isEmpty());
    EXPECT_TRUE(x11->grabRoot(QRect(0, 0, 10, 10)).isNull());
}

// The drag and the cut from the frozen outputs: WaylandDirect.AreaOverlayShowsFrozenOutputsAndCutsFromThem.
TEST_F(WaylandCapture, AreaSelectionOnTheFrozenDesktopIsCancelledByAClickOrEsc) {
    auto capture = std::make_shared<CaptureService>(*desktop);
    SelectionOverlayEnvironment environment = SelectionOverlayEnvironment::forDesktop(*desktop);
    ASSERT_TRUE(environment.fullScreenPanels);
    environment.freeze = [capture] { return capture->snapshotDesktop(); };
    SelectionOverlayController overlay(environment);

    ASSERT_TRUE(session->moveCursor(100, 900));
    auto selection = overlay.beginSelection();
    ASSERT_TRUE(waitForPanels(overlay, 2));
    ASSERT_TRUE(overlay.frozenSnapshot().has_value());
    SelectionOverlayPanel* onTwo = nullptr;
    for (auto* p : overlay.windows())
        if (p->screen().nativeGeometry == QRect(1920, 0, 1280, 720))
            onTwo = p;
    ASSERT_NE(onTwo, nullptr);
    EXPECT_EQ(onTwo->windowHandle()->screen()->geometry(), QRect(1920, 0, 1280, 720));
    EXPECT_EQ(onTwo->windowHandle()->devicePixelRatio(), 2.0);

    // A click through sway's seat on the scale-2 output is no drag: it cancels.
    // sway may drop the very first click on a window it has just mapped: repeat it (at most three times).
    for (int attempt = 0; attempt < 3 && !selection.isFinished(); ++attempt) {
        ASSERT_TRUE(session->click(2000, 100));
        (void)QTest::qWaitFor([&] { return selection.isFinished(); }, 3000);
    }
    ASSERT_TRUE(selection.isFinished());
    EXPECT_FALSE(selection.result().has_value());
    EXPECT_TRUE(overlay.windows().empty());

    // Esc cancels: nothing comes back and the panels go.
    auto cancelled = overlay.beginSelection();
    ASSERT_TRUE(waitForPanels(overlay, 2));
    ASSERT_TRUE(session->moveCursor(2500, 400));
    QTest::qWait(100);
    // The panels take the keyboard a moment after they appear: a key that went
    // nowhere is pressed again (at most three times).
    for (int attempt = 0; attempt < 3 && !cancelled.isFinished(); ++attempt) {
        ASSERT_TRUE(session->pressKey("Escape"));
        (void)QTest::qWaitFor([&] { return cancelled.isFinished(); }, 3000);
    }
    ASSERT_TRUE(cancelled.isFinished());
    EXPECT_FALSE(cancelled.result().has_value());
    EXPECT_TRUE(overlay.windows().empty());
}
