// Direct output capture on sway (wlr-screencopy), in a session whose bus has no
// screenshot portal: the backend's choice, exact pixels at scales 1 and 2 against
// grim's own copies, a rectangle across both outputs, images that outlive later
// captures, the command line, the area overlay on frozen frames, and the focused
// window cut at the rectangle sway's IPC gives.
#include "FutureResult.h"
#include "OverlayPanels.h"
#include "SamePixels.h"
#include "WaylandSession.h"
#include "capture/CaptureService.h"
#include "platform/DesktopBackend.h"
#include "platform/wayland/SessionCaptureChecks.h"
#include "platform/wayland/wlroots/SwayWindows.h"
#include "platform/wayland/wlroots/WlrootsScreenGrabber.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

using namespace lumivane;
using test::allPixels;
using test::await;
using test::runProgram;
using test::samePixels;
using test::screenAt;
using test::waitForPanels;
using test::WaylandSession;

namespace {

// Fine detail: every pixel differs from its neighbours.
QImage fineDetail(QSize pixels) {
    QImage pattern(pixels, QImage::Format_RGB32);
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x)
            pattern.setPixel(x, y, qRgb((x * 7) & 255, (y * 13) & 255, (x ^ y) & 255));
    return pattern;
}

// A floating window of fine detail, placed across the seam of the two outputs at
// logical (1800, 600), 300x100.
class PatternWindow : public QWidget {
public:
    PatternWindow() {
        setWindowTitle(QStringLiteral("lumivane-direct-pattern"));
        resize(300, 100);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QImage pattern = fineDetail(size() * devicePixelRatioF());
        pattern.setDevicePixelRatio(devicePixelRatioF());
        QPainter(this).drawImage(0, 0, pattern);
    }
};

class WaylandDirect : public ::testing::Test {
protected:
    void SetUp() override {
        session = test::sharedWayland();
        ASSERT_NE(session, nullptr);
        qunsetenv("LUMIVANE_WAYLAND_CAPTURE");
        desktop = loadDesktopBackend();
        ASSERT_EQ(desktop->windowSystem, WindowSystem::wayland);
    }
    // Shows the pattern window across the seam and waits until sway shows it there.
    void showPattern(PatternWindow& window) {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
        ASSERT_TRUE(
            session->commandWindow("lumivane-direct-pattern", {"move", "absolute", "position", "1800", "600"}).ok());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return session->windowRect("lumivane-direct-pattern") == QRect(1800, 600, 300, 100); }, 10000));
        QTest::qWait(300); // both outputs have drawn it
    }
    WaylandSession* session = nullptr;
    std::shared_ptr<DesktopBackend> desktop;
};

} // namespace

TEST_F(WaylandDirect, CompositorWithTheProtocolGetsTheDirectGrabberAndOthersThePortal) {
    // No portal on this bus, and none to be started.
    auto* bus = QDBusConnection::sessionBus().interface();
    ASSERT_NE(bus, nullptr);
    EXPECT_FALSE(bus->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")).value());
    EXPECT_FALSE(bus->activatableServiceNames().value().contains(QStringLiteral("org.freedesktop.portal.Desktop")));

    ASSERT_TRUE(desktop->grabber);
    EXPECT_FALSE(desktop->snapshots);
    EXPECT_TRUE(desktop->grabber->refusal().isEmpty());
    EXPECT_FALSE(desktop->capabilities.slowCapture);
    EXPECT_FALSE(desktop->capabilities.interactiveCapture);
    EXPECT_TRUE(desktop->capabilities.selectsOnFrozenOutputs);
    EXPECT_TRUE(desktop->makePermissions()->screenCaptureAllowed());
    auto direct = std::dynamic_pointer_cast<WlrootsScreenGrabber>(desktop->grabber);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->protocolName(), QStringLiteral("wlr-screencopy-unstable-v1 version 3"));
    EXPECT_TRUE(CaptureService(*desktop).selectsOnFrozenDesktop());

    // Asked for by name, the portal is used even here (WaylandCapture.SessionChooses...):
    // without one on the bus, the checklist says capture is not allowed.
    qputenv("LUMIVANE_WAYLAND_CAPTURE", "portal");
    const auto asked = loadDesktopBackend();
    qunsetenv("LUMIVANE_WAYLAND_CAPTURE");
    EXPECT_FALSE(asked->grabber);
    EXPECT_FALSE(asked->makePermissions()->screenCaptureAllowed());

    // weston offers neither protocol: no direct grabber, the portal stays.
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcess weston;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.remove("WAYLAND_DISPLAY");
    env.remove("DISPLAY");
    weston.setProcessEnvironment(env);
    weston.setProcessChannelMode(QProcess::MergedChannels);
    weston.start("weston", {"--backend=headless-backend.so", "--shell=fullscreen-shell.so", "--socket=weston-test",
                            "--idle-time=0", "--no-config"});
    ASSERT_TRUE(weston.waitForStarted(5000)) << "weston is missing (scripts/setup.sh)";
    const QString socket = runtime.filePath("weston-test");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000)) << weston.readAll().toStdString();
    QTest::qWait(200);
    EXPECT_FALSE(WlrootsScreenGrabber::connect(qPrintable(socket)));
    EXPECT_TRUE(WlrootsScreenGrabber::connect(qPrintable(session->value("WAYLAND_DISPLAY"))));
    const QByteArray saved = qgetenv("WAYLAND_DISPLAY");
    qputenv("WAYLAND_DISPLAY", socket.toLocal8Bit());
    const auto onWeston = loadDesktopBackend();
    qputenv("WAYLAND_DISPLAY", saved);
    EXPECT_FALSE(onWeston->grabber);
    EXPECT_TRUE(onWeston->snapshots);
    EXPECT_TRUE(onWeston->capabilities.slowCapture);
    weston.terminate();
    EXPECT_TRUE(weston.waitForFinished(5000));
}

TEST_F(WaylandDirect, EachOutputComesOutAtItsOwnScaleWithGrimsExactPixels) {
    PatternWindow window;
    ASSERT_NO_FATAL_FAILURE(showPattern(window));
    CaptureService service(*desktop);
    const auto screens = desktop->screens->screens();
    const auto one = screenAt(screens, {0, 0}), two = screenAt(screens, {1920, 0});
    ASSERT_TRUE(one && two);

    const ImageRef first = await(service.capture(one->frame));
    ASSERT_TRUE(first);
    EXPECT_TRUE(samePixels(*first, session->screenshot("HEADLESS-1")));
    const ImageRef second = await(service.capture(two->frame));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size(), QSize(2560, 1440));
    const QImage grimTwo = session->screenshot("HEADLESS-2");
    EXPECT_TRUE(samePixels(*second, grimTwo));
    // The window's part on the scale-2 output is there in full detail.
    EXPECT_FALSE(allPixels(second->copy(0, 1200, 360, 200), WaylandSession::kOutput2Colour));

    // Full screen: the main output.
    const ImageRef full = await(service.captureFullScreen());
    ASSERT_TRUE(full);
    EXPECT_TRUE(samePixels(*full, *first));

    // A part of one output: its pixels, no resampling.
    const ImageRef part = await(service.capture(QRectF(1920 + 10, 360 + 590, 200, 100)));
    ASSERT_TRUE(part);
    EXPECT_TRUE(samePixels(*part, grimTwo.copy(20, 1180, 400, 200)));
}

TEST_F(WaylandDirect, RectangleAcrossOutputsIsStitchedAtScaleTwo) {
    CaptureService service(*desktop);
    // 100 points on each side of the seam; on the scale-2 output y counts down from
    // its own frame's minY (360).
    const ImageRef image = await(service.capture(QRectF(1820, 400, 200, 100)));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), QSize(400, 200));
    EXPECT_TRUE(allPixels(image->copy(0, 0, 200, 200), WaylandSession::kOutput1Colour));
    EXPECT_TRUE(allPixels(image->copy(200, 0, 200, 200), WaylandSession::kOutput2Colour));

    // Beyond the right output: transparent.
    const ImageRef beyond = await(service.capture(QRectF(3150, 400, 100, 20)));
    ASSERT_TRUE(beyond);
    ASSERT_EQ(beyond->size(), QSize(200, 40));
    EXPECT_TRUE(allPixels(beyond->copy(0, 0, 100, 40), WaylandSession::kOutput2Colour));
    EXPECT_EQ(qAlpha(beyond->pixel(150, 20)), 0);
}

TEST_F(WaylandDirect, AnImageKeepsItsPixelsWhileLaterCapturesRun) {
    CaptureService service(*desktop);
    const auto two = screenAt(desktop->screens->screens(), {1920, 0});
    ASSERT_TRUE(two);
    // Nothing but the background on the output: the pointer elsewhere, earlier windows gone.
    ASSERT_TRUE(session->moveCursor(100, 900));
    ImageRef before;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            before = await(service.capture(two->frame));
            return before && allPixels(*before, WaylandSession::kOutput2Colour);
        },
        10000));
    ASSERT_TRUE(session->swaymsg({"output", "HEADLESS-2", "bg", "#20c040", "solid_color"}).ok());
    ImageRef after;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            after = await(service.capture(two->frame));
            return after && after->pixel(1280, 700) == 0xff20c040;
        },
        10000));
    ASSERT_TRUE(session->swaymsg({"output", "HEADLESS-2", "bg", "#e3a21a", "solid_color"}).ok());
    EXPECT_TRUE(allPixels(*before, WaylandSession::kOutput2Colour));
    EXPECT_TRUE(allPixels(*after, 0xff20c040));
}

TEST_F(WaylandDirect, CommandLineCapturesWithoutAPortal) {
    PatternWindow window;
    ASSERT_NO_FATAL_FAILURE(showPattern(window));
    QTemporaryDir dir;
    QProcessEnvironment env = session->processEnvironment();
    env.remove("QT_QPA_PLATFORM");
    const QString full = dir.filePath("full.png");
    const auto cli = runProgram(env, LUMIVANE_BINARY, {"capture", "full", "-o", full});
    EXPECT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    EXPECT_TRUE(samePixels(QImage(full), session->screenshot("HEADLESS-1")));
}

TEST_F(WaylandDirect, AreaOverlayShowsFrozenOutputsAndCutsFromThem) {
    auto capture = std::make_shared<CaptureService>(*desktop);
    ASSERT_TRUE(capture->selectsOnFrozenDesktop());
    SelectionOverlayEnvironment environment = SelectionOverlayEnvironment::forDesktop(*desktop);
    environment.freeze = [capture] { return capture->snapshotDesktop(); };
    SelectionOverlayController overlay(environment);

    auto selection = overlay.beginSelection();
    ASSERT_TRUE(waitForPanels(overlay, 2));
    ASSERT_TRUE(overlay.frozenSnapshot().has_value());
    const DesktopSnapshot& frozen = *overlay.frozenSnapshot();
    ASSERT_EQ(frozen.outputs.size(), 2u);
    for (const auto& frame : frozen.outputs)
        EXPECT_EQ(frame.image.size(), frame.nativeGeometry.width() == 1280 ? QSize(2560, 1440) : QSize(1920, 1080));

    // The output changes under the overlay: the panel still shows the frozen frame.
    ASSERT_TRUE(session->swaymsg({"output", "HEADLESS-2", "bg", "#20c040", "solid_color"}).ok());
    QTest::qWait(500);
    const QImage underOverlay = session->screenshot("HEADLESS-2");
    ASSERT_FALSE(underOverlay.isNull());
    EXPECT_EQ(underOverlay.pixel(1280, 900), WaylandSession::kOutput2Colour);

    SelectionOverlayPanel* onTwo = nullptr;
    for (auto* p : overlay.windows())
        if (p->screen().nativeGeometry == QRect(1920, 0, 1280, 720))
            onTwo = p;
    ASSERT_NE(onTwo, nullptr);
    // The drag through Qt's input path: sway 1.7 moves its seat cursor without sending
    // motion to a surface while a button is held, so a seat-driven drag reaches no client.
    QTest::mousePress(onTwo, Qt::LeftButton, {}, QPoint(80, 100));
    QTest::mouseMove(onTwo, QPoint(180, 200));
    QTest::mouseMove(onTwo, QPoint(280, 300));
    EXPECT_TRUE(onTwo->selectionRect().has_value());
    QTest::mouseRelease(onTwo, Qt::LeftButton, {}, QPoint(280, 300));
    ASSERT_TRUE(QTest::qWaitFor([&] { return selection.isFinished(); }, 10000));
    const std::optional<QRectF> rect = selection.result();
    ASSERT_TRUE(rect.has_value());
    // x global; y down from the output frame's minY (360).
    EXPECT_EQ(*rect, QRectF(2000, 460, 200, 200));
    EXPECT_TRUE(overlay.windows().empty());

    // Cut from the frozen frame: the colour the user saw, at scale 2.
    const ImageRef image = await(capture->capture(*rect, *overlay.frozenSnapshot()));
    ASSERT_TRUE(session->swaymsg({"output", "HEADLESS-2", "bg", "#e3a21a", "solid_color"}).ok());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(400, 400));
    EXPECT_TRUE(allPixels(*image, WaylandSession::kOutput2Colour));
}

TEST_F(WaylandDirect, TurnedOutputComesOutUprightAsGrimShowsIt) {
    PatternWindow window;
    ASSERT_NO_FATAL_FAILURE(showPattern(window));
    ASSERT_TRUE(session->commandWindow("lumivane-direct-pattern", {"move", "absolute", "position", "100", "100"}).ok());
    auto grabber = WlrootsScreenGrabber::connect(qPrintable(session->value("WAYLAND_DISPLAY")));
    ASSERT_TRUE(grabber);
    ASSERT_TRUE(session->swaymsg({"output", "HEADLESS-1", "transform", "90"}).ok());
    QTest::qWait(800);
    ScreenInfo turned;
    turned.nativeGeometry = QRect(0, 0, 1080, 1920);
    turned.frame = QRectF(turned.nativeGeometry);
    turned.screenId = 1;
    const QImage image = grabber->grab(turned, QRectF(0, 0, 1080, 1920), QSize(1080, 1920));
    const QImage grim = session->screenshot("HEADLESS-1");
    ASSERT_TRUE(session->swaymsg({"output", "HEADLESS-1", "transform", "normal"}).ok());
    QTest::qWait(500);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(grim.size(), QSize(1080, 1920));
    EXPECT_TRUE(samePixels(image, grim));
}

// The focused window at the rectangle sway's IPC gives, with its title bar and border or
// without them, each exactly as grim shows that part of the output.
TEST_F(WaylandDirect, FocusedWindowIsCutAtTheCompositorsRectangle) {
    ASSERT_TRUE(desktop->makeActiveWindowCapture) << "SWAYSOCK is set in the session";
    PatternWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
    ASSERT_TRUE(session->commandWindow("lumivane-direct-pattern", {"border", "normal", "3"}).ok());
    ASSERT_TRUE(session->commandWindow("lumivane-direct-pattern", {"move", "absolute", "position", "200", "150"}).ok());
    ASSERT_TRUE(session->commandWindow("lumivane-direct-pattern", {"focus"}).ok());
    // Moved onto the first output, wherever its title bar puts it exactly.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QRect r = session->windowRect("lumivane-direct-pattern");
            return !r.isEmpty() && QRect(0, 0, 1920, 1080).contains(r.adjusted(0, -40, 0, 0)) &&
                   (r.topLeft() - QPoint(200, 150)).manhattanLength() <= 60;
        },
        10000))
        << "window at " << session->windowRect("lumivane-direct-pattern").x() << ","
        << session->windowRect("lumivane-direct-pattern").y();
    QTest::qWait(300);
    const QImage output = session->screenshot("HEADLESS-1");
    const QRect rect = session->windowRect("lumivane-direct-pattern"); // border included, title bar above it
    CaptureService service(*desktop);
    std::shared_ptr<ActiveWindowCapture> source = desktop->makeActiveWindowCapture();

    const ImageRef content = await(service.captureWindow(source, false));
    ASSERT_TRUE(content);
    EXPECT_EQ(content->size(), window.size());
    EXPECT_TRUE(samePixels(*content, fineDetail(window.size()))); // as PatternWindow paints it at scale 1

    const ImageRef framed = await(service.captureWindow(source, true));
    ASSERT_TRUE(framed);
    ASSERT_GT(framed->height(), rect.height()) << "the title bar is part of the frame";
    const QRect frame(rect.x(), rect.bottom() + 1 - framed->height(), rect.width(), framed->height());
    EXPECT_EQ(framed->width(), rect.width());
    EXPECT_TRUE(samePixels(*framed, output.copy(frame)));

    // The overlay's list has the window topmost.
    ASSERT_TRUE(desktop->visibleWindowFrames);
    const auto frames = desktop->visibleWindowFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), frame);
}

// sway's criteria are regular expressions: a title becomes a pattern that matches it
// and nothing else, and sway accepts it in a rule.
TEST_F(WaylandDirect, TitlePatternsMatchOnlyTheirTitleAndSwayTakesThem) {
    for (const QString& title : {QStringLiteral("Lumivane プレビュー"), QStringLiteral("a.b (1) $x+y? {2}|[z")}) {
        const QString pattern = sway_windows::literalPattern(title);
        ASSERT_FALSE(pattern.isEmpty());
        const QRegularExpression re(pattern);
        ASSERT_TRUE(re.isValid()) << pattern.toStdString();
        EXPECT_TRUE(re.match(title).hasMatch()) << pattern.toStdString();
        EXPECT_FALSE(re.match(title + "!").hasMatch());
        EXPECT_FALSE(re.match(QString(title).replace('.', 'x').replace(' ', '_')).hasMatch());
        EXPECT_TRUE(sway_windows::runCommand(sway_windows::socketPath(),
                                             QStringLiteral("no_focus [title=\"%1\"]").arg(pattern)));
    }
    for (const char* refused : {"back\\slash", "quote\"d", "^caret", "bracket]"})
        EXPECT_TRUE(sway_windows::literalPattern(refused).isEmpty()) << refused;
    EXPECT_FALSE(sway_windows::runCommand(sway_windows::socketPath(), "no_such_command at all"));
}
