// The headless Wayland test desktop itself: outputs as Qt sees them, the
// screenshot portal, input, clipboard and tray as the product's code will meet them.
#include "PortalRequest.h"
#include "WaylandSession.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QUrl>
#include <QUuid>
#include <QWidget>
#include <gtest/gtest.h>

using lumivane::test::PortalRequest;
using lumivane::test::sharedWayland;
using lumivane::test::WaylandSession;

namespace {

QScreen* screenNamed(const QString& name) {
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == name)
            return s;
    return nullptr;
}

// Records the input a window receives.
class InputProbe : public QWidget {
public:
    int keyPresses = 0;
    QList<QPoint> presses;
    QList<QPoint> releases;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keyPresses; }
    void mousePressEvent(QMouseEvent* e) override { presses << e->position().toPoint(); }
    void mouseReleaseEvent(QMouseEvent* e) override { releases << e->position().toPoint(); }
};

QRect rectOf(const QJsonObject& node) {
    const QJsonObject r = node.value("rect").toObject();
    return {r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt()};
}

class WaylandRig : public ::testing::Test {
protected:
    WaylandSession& session() { return *sharedWayland(); }
};

TEST_F(WaylandRig, QtSeesBothOutputsWithTheirScales) {
    EXPECT_EQ(QGuiApplication::platformName(), "wayland");
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    QScreen* first = screenNamed("HEADLESS-1");
    QScreen* second = screenNamed("HEADLESS-2");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->geometry(), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(first->devicePixelRatio(), 1.0);
    EXPECT_EQ(second->geometry(), QRect(1920, 0, 1280, 720));
    EXPECT_EQ(second->devicePixelRatio(), 2.0);

    // The compositor's view agrees.
    const QJsonArray outputs = session().swayQuery("get_outputs").array();
    ASSERT_EQ(outputs.size(), 2);
    for (const QJsonValue& o : outputs) {
        const QJsonObject output = o.toObject();
        QScreen* screen = screenNamed(output.value("name").toString());
        ASSERT_TRUE(screen);
        EXPECT_EQ(rectOf(output), screen->geometry());
        EXPECT_EQ(output.value("scale").toDouble(), screen->devicePixelRatio());
    }
}

TEST_F(WaylandRig, PortalScreenshotIsTheWholeLayoutAtTheHighestScale) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    const QString token = "rig" + QUuid::createUuid().toString(QUuid::Id128);
    PortalRequest request(bus, token);
    QDBusInterface portal("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                          "org.freedesktop.portal.Screenshot", bus);
    const QDBusReply<QDBusObjectPath> handle =
        portal.call("Screenshot", QString(), QVariantMap{{"handle_token", token}, {"interactive", false}});
    ASSERT_TRUE(handle.isValid()) << handle.error().message().toStdString();
    EXPECT_EQ(handle.value().path(), request.path());
    ASSERT_TRUE(request.wait(30000)) << "no Response from the screenshot portal";
    ASSERT_EQ(*request.code(), 0u);

    const QUrl uri(request.results().value("uri").toString());
    ASSERT_TRUE(uri.isLocalFile()) << uri.toString().toStdString();
    // The backend reuses one file for every call: read it at once.
    QFile file(uri.toLocalFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QImage image = QImage::fromData(file.readAll(), "PNG").convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(6400, 2160));
    // HEADLESS-1 upscaled ×2 into (0,0 3840x2160), HEADLESS-2 at (3840,0 2560x1440),
    // the rest uncovered.
    // The upscaled output's outermost pixels are blended with the uncovered area.
    for (QPoint p : {QPoint(2, 2), QPoint(1920, 1080), QPoint(3837, 2157)})
        EXPECT_EQ(image.pixel(p), WaylandSession::kOutput1Colour) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(3840, 0), QPoint(5000, 700), QPoint(6399, 1439)})
        EXPECT_EQ(image.pixel(p), WaylandSession::kOutput2Colour) << p.x() << "," << p.y();
    EXPECT_EQ(qAlpha(image.pixel(5000, 1800)), 0);
}

TEST_F(WaylandRig, GrimTakesOneOutputAtItsPixelSize) {
    const QImage second = session().screenshot("HEADLESS-2");
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(second.size(), QSize(2560, 1440));
    EXPECT_EQ(second.pixel(1280, 720), WaylandSession::kOutput2Colour);
    const QImage first = session().screenshot("HEADLESS-1");
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), QSize(1920, 1080));
    EXPECT_EQ(first.pixel(960, 540), WaylandSession::kOutput1Colour);
}

TEST_F(WaylandRig, ClipboardReachesOtherClientsAfterOneKeyPress) {
    InputProbe window;
    window.resize(320, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
    // New windows take the keyboard focus, but sway may hand it over a moment after
    // the window is exposed: a key that went nowhere is pressed again (at most five times).
    (void)QTest::qWaitForWindowActive(&window, 5000);
    for (int attempt = 0; attempt < 5 && window.keyPresses == 0; ++attempt) {
        ASSERT_TRUE(session().pressKey("Shift_L"));
        (void)QTest::qWaitFor([&] { return window.keyPresses > 0; }, 1000);
    }
    ASSERT_GT(window.keyPresses, 0) << "the key never arrived";

    QGuiApplication::clipboard()->setText(QStringLiteral("ルミベイン clipboard"));
    QStringList types;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(types = session().clipboardTypes()).isEmpty(); }, 5000));
    EXPECT_TRUE(types.contains("text/plain;charset=utf-8")) << types.join(' ').toStdString();
    EXPECT_EQ(QString::fromUtf8(session().clipboardData("text/plain;charset=utf-8")),
              QStringLiteral("ルミベイン clipboard"));

    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    auto* mime = new QMimeData;
    mime->setImageData(image);
    mime->setUrls({QUrl::fromLocalFile("/tmp/example.png")});
    QGuiApplication::clipboard()->setMimeData(mime);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session().clipboardTypes().contains("image/png"); }, 5000));
    EXPECT_TRUE(session().clipboardTypes().contains("text/uri-list"));
    const QImage back = QImage::fromData(session().clipboardData("image/png"), "PNG");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), image.size());
    EXPECT_EQ(back.pixel(5, 5), qRgb(10, 200, 30));
    QGuiApplication::clipboard()->clear(); // Qt's Wayland clipboard keeps its last offer until replaced
}

TEST_F(WaylandRig, SeatCursorClicksLandInWindowsOnTheScaleTwoOutput) {
    // A frameless full-screen window on the scale-2 output, as a selection overlay uses.
    InputProbe overlay;
    overlay.setWindowFlags(Qt::FramelessWindowHint);
    overlay.setWindowTitle("overlay");
    QScreen* second = screenNamed("HEADLESS-2");
    ASSERT_TRUE(second);
    overlay.setGeometry(second->geometry());
    overlay.setScreen(second);
    overlay.showFullScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay.size() == QSize(1280, 720); }, 5000))
        << overlay.width() << "x" << overlay.height();
    // sway may report the window a moment after Qt has its size.
    QRect placed;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return (placed = session().windowRect("overlay")) == QRect(1920, 0, 1280, 720); }, 5000))
        << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();

    // sway may drop the very first click on a window it has just mapped: a click that
    // brings no release is repeated (at most three times).
    for (int attempt = 0; attempt < 3 && overlay.releases.isEmpty(); ++attempt) {
        overlay.presses.clear();
        ASSERT_TRUE(session().click(1920 + 300, 200));
        (void)QTest::qWaitFor([&] { return !overlay.releases.isEmpty(); }, 2000);
    }
    ASSERT_FALSE(overlay.releases.isEmpty());
    EXPECT_EQ(overlay.presses.value(0), QPoint(300, 200));
    EXPECT_EQ(overlay.releases.value(0), QPoint(300, 200));

    // The overlay renders at the output's pixel size.
    overlay.setStyleSheet("background: #ff0000;");
    overlay.setAutoFillBackground(true);
    QPalette palette = overlay.palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 0));
    overlay.setPalette(palette);
    overlay.update();
    QImage shot;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            shot = session().screenshot("HEADLESS-2");
            return !shot.isNull() && shot.pixel(1280, 720) == qRgb(255, 0, 0);
        },
        10000));
    EXPECT_EQ(shot.size(), QSize(2560, 1440));
}

TEST_F(WaylandRig, NormalWindowsFloatAtTheirOwnSizeAndTakeClicksAtOnce) {
    InputProbe window;
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
    EXPECT_EQ(window.size(), QSize(400, 300));
    QRect placed;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (placed = session().windowRect()).size() == QSize(400, 300); }, 5000))
        << placed.width() << "x" << placed.height();
    // Right after the window appeared, as a user's test would. On a slow run (the
    // sanitizer build) sway may still be mapping it: a click that found no surface is
    // repeated, and the first one that arrives lands where it was aimed.
    for (int attempt = 0; attempt < 5 && window.releases.isEmpty(); ++attempt) {
        ASSERT_TRUE(session().click(placed.x() + 10, placed.y() + 20));
        (void)QTest::qWaitFor([&] { return !window.releases.isEmpty(); }, 1000);
    }
    ASSERT_FALSE(window.releases.isEmpty());
    EXPECT_EQ(window.presses.value(0), QPoint(10, 20));
}

TEST_F(WaylandRig, TrayHasAStatusNotifierHost) {
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    QSystemTrayIcon icon;
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::blue);
    icon.setIcon(QIcon(pixmap));
    icon.show();
    QDBusInterface watcher("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                           QDBusConnection::sessionBus());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !watcher.property("RegisteredStatusNotifierItems").toStringList().isEmpty(); }, 5000));
}

TEST_F(WaylandRig, XClientsRunAsRootOnXwayland) {
    const QString display = session().value("DISPLAY");
    ASSERT_FALSE(display.isEmpty());
    const WaylandSession::Result r = session().run("xhost", {});
    EXPECT_TRUE(r.ok()) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("localuser:root"));
}

} // namespace
