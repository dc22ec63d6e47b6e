// Capture on a headless KWin: the backend picks KWin's ScreenShot2 grabber, which
// KWin serves only to a program its installed desktop entry names. Exact pixels at
// scale 1 (this session) and 2 (a second session), the installed program authorised
// and a build-tree copy refused and falling back to the screenshot portal, saying so
// once in the log.
//
// The tests run in order: the first one runs before this program's own entry is
// installed, so KWin refuses it, and a window comes through the portal's dialog.
#include "FutureResult.h"
#include "KWinSession.h"
#include "PatternWindow.h"
#include "SamePixels.h"
#include "capture/CaptureService.h"
#include "platform/DesktopBackend.h"
#include "platform/wayland/SessionCaptureChecks.h"
#include "platform/wayland/kwin/KWinScreenGrabber.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

using namespace lumivane;
using test::await;
using test::KWinSession;
using test::runProgram;
using test::samePixels;

namespace {

const QString refusedLine = QStringLiteral("KWin refused org.kde.KWin.ScreenShot2");
constexpr QRgb portalColour = 0xff3366cc;

// Grabs until the screen shows what is expected (a new window's first frame takes a
// moment to reach the screen), then gives the last comparison.
::testing::AssertionResult eventuallyShows(const std::function<QImage()>& grab, const QImage& expected) {
    QDeadlineTimer deadline(15000);
    ::testing::AssertionResult last = ::testing::AssertionFailure() << "nothing grabbed";
    do {
        last = samePixels(grab(), expected);
        if (last)
            return last;
        QTest::qWait(100);
    } while (!deadline.hasExpired());
    return last;
}

// org.freedesktop.portal.Screenshot answering every call with one PNG file, the way
// portals do (Response on the request path made from the caller and its token).
// KWin's own portal answers "cancelled" on a headless session.
class ScreenshotPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    explicit ScreenshotPortal(QString png) : png_(std::move(png)) {}
    std::atomic<int> calls{0};
    std::atomic<int> interactiveCalls{0};
    std::atomic<uint> response{0}; // 1: the user closed the dialog

public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options) {
        ++calls;
        interactiveCalls += options.value("interactive").toBool();
        const QString sender = message().service().mid(1).replace(u'.', u'_');
        const QString path =
            "/org/freedesktop/portal/desktop/request/" + sender + "/" + options.value("handle_token").toString();
        QDBusMessage response = QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        response << uint(this->response)
                 << (this->response ? QVariantMap() : QVariantMap{{"uri", QUrl::fromLocalFile(png_).toString()}});
        // After the call's reply, as the portal does.
        QTimer::singleShot(0, this, [bus = connection(), response]() mutable { bus.send(response); });
        return QDBusObjectPath(path);
    }

private:
    QString png_;
};

// What the test's portal answers with: one colour, so that it tells itself from KWin's.
QImage portalPicture(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(portalColour);
    return picture;
}

// The portal on the session's bus, answering with `picture` (written to a file of its
// own), served from a thread of its own so that tests may block the main thread on a
// capture.
class PortalOnBus {
public:
    PortalOnBus(const QString& busAddress, const QImage& picture) {
        const QString png = dir_.filePath("portal.png");
        if (!picture.save(png))
            return;
        thread_.start();
        portal_ = new ScreenshotPortal(png);
        portal_->moveToThread(&thread_);
        QMetaObject::invokeMethod(
            portal_,
            [this, busAddress] {
                QDBusConnection bus = QDBusConnection::connectToBus(busAddress, "kwin-test-portal");
                registered_ =
                    bus.registerObject("/org/freedesktop/portal/desktop", portal_, QDBusConnection::ExportAllSlots) &&
                    bus.registerService("org.freedesktop.portal.Desktop");
            },
            Qt::BlockingQueuedConnection);
    }
    ~PortalOnBus() {
        if (!portal_)
            return;
        QMetaObject::invokeMethod(
            portal_,
            [this] {
                delete portal_;
                QDBusConnection::disconnectFromBus("kwin-test-portal");
            },
            Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    bool registered() const { return registered_; }
    int calls() const { return portal_->calls; }
    int interactiveCalls() const { return portal_->interactiveCalls; }
    void answer(uint response) { portal_->response = response; }

private:
    QTemporaryDir dir_;
    QThread thread_;
    ScreenshotPortal* portal_ = nullptr;
    bool registered_ = false;
};

// What the capture service logs, while it lives.
class LogLines {
public:
    LogLines() {
        sink = &lines_;
        previous_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
            static std::mutex lock;
            std::lock_guard guard(lock);
            if (sink)
                sink->append(m);
        });
    }
    ~LogLines() {
        qInstallMessageHandler(previous_);
        sink = nullptr;
    }
    int count(const QString& part) const {
        int n = 0;
        for (const QString& line : lines_)
            n += line.contains(part);
        return n;
    }

private:
    static inline QStringList* sink = nullptr;
    QStringList lines_;
    QtMessageHandler previous_ = nullptr;
};

// The session's environment, with Qt on Wayland.
QProcessEnvironment onWayland(const KWinSession& session) {
    QProcessEnvironment env = session.processEnvironment();
    env.insert("QT_QPA_PLATFORM", "wayland");
    return env;
}

// This test program in the session, showing the pattern (full screen unless
// --windowed=WxH); started once it says it is ready.
void startPatternClient(QProcess& client, const KWinSession& session, const QStringList& args = {}) {
    client.setProcessEnvironment(onWayland(session));
    client.start(QCoreApplication::applicationFilePath(), QStringList{"--lumivane-pattern-window"} + args);
    ASSERT_TRUE(client.waitForReadyRead(20000)) << client.readAllStandardError().toStdString();
}

class KWinCapture : public ::testing::Test {
protected:
    // The window goes while the application is still there.
    static void TearDownTestSuite() { pattern.reset(); }

    void SetUp() override {
        session = test::sharedKWin();
        ASSERT_NE(session, nullptr);
        desktop = loadDesktopBackend();
        ASSERT_EQ(desktop->windowSystem, WindowSystem::wayland);
    }

    // Covers the primary output with the pattern.
    void showPattern() {
        if (pattern)
            return;
        pattern = std::make_unique<test::PatternWindow>();
        pattern->setFlag(Qt::FramelessWindowHint);
        pattern->setScreen(QGuiApplication::primaryScreen());
        pattern->showFullScreen();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pattern.get()));
    }

    // This test program, authorised by an entry of its own.
    void authoriseThisProgram() {
        ASSERT_TRUE(session->installEntry("io.github.lumivane.Tests.desktop", QCoreApplication::applicationFilePath()))
            << session->errorText().toStdString();
    }

    KWinSession* session = nullptr;
    std::shared_ptr<DesktopBackend> desktop;
    static inline std::unique_ptr<test::PatternWindow> pattern;
};

} // namespace

TEST_F(KWinCapture, UnauthorisedKWinGrabberHandsOverToThePortalAndSaysSoOnce) {
    EXPECT_TRUE(dynamic_cast<KWinScreenGrabber*>(desktop->grabber.get()));
    ASSERT_TRUE(desktop->snapshots);
    EXPECT_FALSE(desktop->capabilities.slowCapture);

    QTemporaryDir dir;
    const QImage answer = portalPicture({1920, 1080});
    PortalOnBus portal(session->value("DBUS_SESSION_BUS_ADDRESS"), answer);
    ASSERT_TRUE(portal.registered());

    LogLines log;
    CaptureService service(*desktop);
    const auto frame = desktop->screens->screens().front().frame;
    for (int round = 0; round < 2; ++round) {
        const ImageRef image = await(service.capture(frame));
        ASSERT_TRUE(image);
        EXPECT_TRUE(samePixels(*image, answer)) << "round " << round;
    }
    EXPECT_EQ(portal.calls(), 2);
    EXPECT_EQ(log.count(refusedLine), 1);
    EXPECT_FALSE(desktop->grabber->refusal().isEmpty());
    EXPECT_TRUE(service.capturesSnapshots());
    // The checklist goes by the portal now.
    EXPECT_TRUE(desktop->makePermissions()->screenCaptureAllowed());

    // A window: the portal's own dialog, where the user picks it; its picture as it is.
    ASSERT_TRUE(desktop->makeActiveWindowCapture);
    std::shared_ptr<ActiveWindowCapture> windows = desktop->makeActiveWindowCapture();
    EXPECT_TRUE(samePixels(*await(service.captureWindow(windows, true)), answer));
    EXPECT_EQ(portal.interactiveCalls(), 1);
    // Closing the dialog cancels the capture: no picture, no error.
    portal.answer(1);
    QFuture<ImageRef> closed = service.captureWindow(windows, true);
    closed.waitForFinished();
    EXPECT_TRUE(closed.isCanceled());
    EXPECT_EQ(portal.interactiveCalls(), 2);
    // The command line says so with its own exit code, and writes nothing.
    const auto command =
        runProgram(onWayland(*session), LUMIVANE_BINARY, {"capture", "window", "-o", dir.filePath("window.png")});
    EXPECT_EQ(command.exitCode, 3) << command.err.toStdString();
    EXPECT_EQ(portal.interactiveCalls(), 3);
    EXPECT_FALSE(QFile::exists(dir.filePath("window.png")));
}

TEST_F(KWinCapture, AuthorisedGrabsReadExactPixelsAtScaleOne) {
    authoriseThisProgram();
    // As for a program started once installed: the backend asks KWin after the entry exists
    // (a refusal is kept for the life of the grabber).
    desktop = loadDesktopBackend();
    showPattern();
    auto grabber = desktop->grabber;
    ASSERT_TRUE(grabber);
    grabber->prepare();
    EXPECT_EQ(grabber->refusal(), QString());

    EXPECT_TRUE(desktop->makePermissions()->screenCaptureAllowed());
    CaptureService service(*desktop);
    EXPECT_FALSE(service.capturesSnapshots());
    const ScreenInfo screen = desktop->screens->screens().front();
    ASSERT_EQ(screen.nativeGeometry, QRect(0, 0, 1920, 1080));
    EXPECT_TRUE(
        eventuallyShows([&] { return *await(service.capture(screen.frame)); }, test::patternImage({0, 0, 1920, 1080})));
    // A rectangle inside the output, and one off the whole-point grid: resampled to its size.
    EXPECT_TRUE(
        samePixels(*await(service.capture(QRectF(100, 50, 300, 200))), test::patternImage({100, 50, 300, 200})));
    EXPECT_TRUE(
        samePixels(grabber->grab(screen, QRectF(1919, 1079, 1, 1), {1, 1}), test::patternImage({1919, 1079, 1, 1})));
}

// Another program's window, active, as KWin's CaptureActiveWindow gives it, without
// asking the user (the headless KWin has no decorations, so with or without frame is
// the window alone). For a full-screen window KWin 5.27 sometimes never answers: then
// the portal's dialog takes over, so the user gets a picture either way.
TEST_F(KWinCapture, ActiveWindowComesFromScreenShot2OrForFullScreenFromThePortal) {
    authoriseThisProgram();
    desktop = loadDesktopBackend();
    ASSERT_TRUE(desktop->makeActiveWindowCapture);
    CaptureService service(*desktop);
    std::shared_ptr<ActiveWindowCapture> source = desktop->makeActiveWindowCapture();
    {
        QProcess client;
        ASSERT_NO_FATAL_FAILURE(startPatternClient(client, *session, {"--windowed=320x200"}));
        for (const bool includeFrame : {false, true})
            EXPECT_TRUE(eventuallyShows([&] { return *await(service.captureWindow(source, includeFrame)); },
                                        test::patternImage({0, 0, 320, 200})))
                << "with frame: " << includeFrame;
        client.kill();
        client.waitForFinished(5000);
    }

    const QImage answer = portalPicture({640, 480});
    PortalOnBus portal(session->value("DBUS_SESSION_BUS_ADDRESS"), answer);
    ASSERT_TRUE(portal.registered());
    QProcess fullScreen;
    ASSERT_NO_FATAL_FAILURE(startPatternClient(fullScreen, *session));
    const QImage picture = *await(service.captureWindow(source, true));
    if (portal.interactiveCalls() == 0)
        EXPECT_TRUE(samePixels(picture, test::patternImage({0, 0, 1920, 1080})));
    else
        EXPECT_TRUE(samePixels(picture, answer));
    fullScreen.kill();
    fullScreen.waitForFinished(5000);
}

TEST_F(KWinCapture, AuthorisedGrabsReadExactPixelsAtScaleTwo) {
    KWinSession hidpi(2.0, "1280x720");
    ASSERT_TRUE(hidpi.isRunning()) << hidpi.errorText().toStdString();
    ASSERT_TRUE(hidpi.installEntry("io.github.lumivane.Tests.desktop", QCoreApplication::applicationFilePath()));
    QProcess client;
    ASSERT_NO_FATAL_FAILURE(startPatternClient(client, hidpi));
    EXPECT_EQ(client.readLine().trimmed(), "ready");
    {
        const KWinScreenGrabber grabber(
            QDBusConnection::connectToBus(hidpi.value("DBUS_SESSION_BUS_ADDRESS"), "kwin-hidpi"));
        ScreenInfo screen;
        screen.nativeGeometry = QRect(0, 0, 1280, 720);
        screen.frame = QRectF(0, 0, 1280, 720);
        screen.scale = 2.0;
        screen.screenId = 1;
        EXPECT_TRUE(eventuallyShows(
            [&] {
                return grabber.grab(screen, QRectF(0, 0, 1280, 720), {2560, 1440});
            },
            test::patternImage({0, 0, 2560, 1440})));
        // Half points are whole pixels at scale 2: cut exactly, not resampled.
        EXPECT_TRUE(samePixels(grabber.grab(screen, QRectF(10.5, 20, 100, 50.5), {200, 101}),
                               test::patternImage({21, 40, 200, 101})));
        EXPECT_TRUE(samePixels(grabber.grab(screen, QRectF(1000, 600, 280, 120), {560, 240}),
                               test::patternImage({2000, 1200, 560, 240})));
    }
    QDBusConnection::disconnectFromBus("kwin-hidpi");
    client.kill();
    client.waitForFinished(5000);
}

TEST_F(KWinCapture, InstalledProgramIsAuthorisedWhileACopyFromTheBuildFallsBackToThePortal) {
    showPattern();
    QProcess install;
    // The program's own package: the text recognition module may not be built here.
    install.start("cmake", {"--install", LUMIVANE_BUILD_DIR, "--prefix", session->prefix(), "--component", "lumivane"});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    ASSERT_TRUE(session->refreshServices()) << session->errorText().toStdString();
    const QString installed = session->prefix() + "/bin/lumivane";
    QFile entry(session->prefix() + "/share/applications/io.github.lumivane.Lumivane.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains("\nExec=" + installed + " %f\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n"));

    QTemporaryDir dir;
    const auto direct =
        runProgram(onWayland(*session), installed, {"capture", "full", "-o", dir.filePath("direct.png")});
    EXPECT_EQ(direct.exitCode, 0) << direct.err.toStdString();
    EXPECT_FALSE(direct.err.contains(refusedLine)) << direct.err.toStdString();
    EXPECT_TRUE(samePixels(QImage(dir.filePath("direct.png")), test::patternImage({0, 0, 1920, 1080})));

    const QImage answer = portalPicture({1920, 1080});
    PortalOnBus portal(session->value("DBUS_SESSION_BUS_ADDRESS"), answer);
    ASSERT_TRUE(portal.registered());
    // The same program run from the build tree, where no entry names it: refused.
    const auto fallback =
        runProgram(onWayland(*session), LUMIVANE_BINARY, {"capture", "full", "-o", dir.filePath("fallback.png")});
    EXPECT_EQ(fallback.exitCode, 0) << fallback.err.toStdString();
    EXPECT_EQ(fallback.err.count(refusedLine), 1) << fallback.err.toStdString();
    EXPECT_EQ(portal.calls(), 1);
    EXPECT_TRUE(samePixels(QImage(dir.filePath("fallback.png")), answer));
}

#include "KWinCaptureTest.moc"
