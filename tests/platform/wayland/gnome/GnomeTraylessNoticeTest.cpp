// The application on GNOME 43, which shows no tray icons: the first start says on the
// desktop's notifications that Lumivane runs, once, not at every start; a capture that
// fails is told there too.
#include "GnomeSession.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

const QString runningSummary = QStringLiteral("Lumivane は起動しています");
const QString failedSummary = QStringLiteral("スクリーンショットを撮影できませんでした");

// The session bus's Notify calls, as dbus-monitor prints them.
struct NotifyCalls {
    explicit NotifyCalls(const QProcessEnvironment& env) {
        monitor.setProcessEnvironment(env);
        monitor.start("dbus-monitor", {"--session", "interface='org.freedesktop.Notifications',member='Notify'"});
        started = monitor.waitForStarted(5000) && QTest::qWaitFor([&] { return monitor.bytesAvailable() > 0; }, 5000);
    }
    ~NotifyCalls() {
        monitor.kill();
        monitor.waitForFinished(2000);
    }
    QString seen() {
        text += QString::fromUtf8(monitor.readAll());
        return text;
    }
    // Calls to the service carrying `summary` (GNOME's service passes each on to the
    // shell in a call of its own).
    int count(const QString& summary) {
        int n = 0;
        for (const QString& call : seen().split(QStringLiteral("method call ")))
            n += call.contains(QStringLiteral("destination=org.freedesktop.Notifications")) && call.contains(summary);
        return n;
    }
    QProcess monitor;
    QString text;
    bool started = false;
};

// The real executable with settings of its own, in the GNOME session.
struct App {
    App(const QProcessEnvironment& base, const QString& home) {
        QProcessEnvironment env = base;
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_DATA_HOME", home + "/data");
        env.insert("XDG_CACHE_HOME", home + "/cache");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        process.start(LUMIVANE_BINARY, {});
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        running =
            process.waitForStarted(5000) &&
            QTest::qWaitFor(
                [&] { return bus->isServiceRegistered(QStringLiteral("io.github.lumivane.Lumivane")).value(); }, 20000);
    }
    ~App() {
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QProcess process;
    bool running = false;
};

} // namespace

TEST(GnomeTraylessNotice, TheFirstStartWithoutATraySaysLumivaneRunsOnce) {
    test::GnomeSession* gnome = test::sharedGnome();
    ASSERT_NE(gnome, nullptr);
    QTemporaryDir home;
    NotifyCalls calls(gnome->processEnvironment());
    ASSERT_TRUE(calls.started) << "dbus-monitor on the session bus";
    {
        App app(gnome->processEnvironment(), home.path());
        ASSERT_TRUE(app.running);
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls.count(runningSummary) > 0; }, 15000))
            << calls.seen().toStdString() << app.process.readAllStandardError().toStdString();
    }
    EXPECT_EQ(calls.count(runningSummary), 1);
    {
        App again(gnome->processEnvironment(), home.path());
        ASSERT_TRUE(again.running);
        QTest::qWait(4000); // beyond the wait for a tray that registers late

        // A capture that fails says so where the user looks, and to the command.
        ASSERT_TRUE(gnome->setScreenshotPermission("no"));
        QProcess command;
        command.setProcessEnvironment(again.process.processEnvironment());
        command.start(LUMIVANE_BINARY, {"capture", "full"});
        ASSERT_TRUE(command.waitForFinished(30000));
        EXPECT_EQ(command.exitCode(), 1);
        EXPECT_FALSE(QString::fromUtf8(command.readAllStandardError()).isEmpty());
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls.count(failedSummary) == 1; }, 10000))
            << calls.seen().toStdString();
        EXPECT_TRUE(gnome->setScreenshotPermission(QString()));
    }
    EXPECT_EQ(calls.count(runningSummary), 1) << "the notice is shown once";
}
