// The real executable in a private session: hand-over to the running instance,
// two starts at the same moment, the local socket without a bus, and commands
// from a second process reaching the running application's windows.
#include "FakeNotificationServer.h"
#include "PrivateSession.h"
#include "app/SingleInstance.h"
#include "core/NativeFileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using lumivane::test::PrivateSession;

namespace {

const QString lumivane = QStringLiteral(LUMIVANE_EXECUTABLE);
const QString handOverLine = QStringLiteral("Lumivane is already running; its settings window is shown.\n");

void expectHandOverAndRace(bool bus) {
    PrivateSession session(bus);
    ASSERT_TRUE(session.ready());
    QProcess& first = session.start(lumivane, {});
    ASSERT_TRUE(session.waitForInstance()) << first.readAllStandardError().toStdString();

    // A second start hands over: the running one shows its settings window.
    const auto second = session.run(lumivane, {});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(second.out, handOverLine);
    EXPECT_TRUE(session.waitForWindow(QStringLiteral("設定")));
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));

    // Two starts at the same moment: one stays, the other hands over and ends.
    QProcess& a = session.start(lumivane, {});
    QProcess& b = session.start(lumivane, {});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning; }, 20000));
    QTest::qWait(1500); // a second loser would have ended by now
    const bool aStayed = a.state() == QProcess::Running;
    QProcess& stayed = aStayed ? a : b;
    QProcess& left = aStayed ? b : a;
    EXPECT_EQ(stayed.state(), QProcess::Running);
    EXPECT_EQ(left.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(left.exitCode(), 0) << left.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(left.readAllStandardOutput()), handOverLine);
    if (bus) {
        EXPECT_FALSE(session.busNameOwner().isEmpty());
    }
    // The survivor still answers the next start.
    EXPECT_EQ(session.run(lumivane, {}).exitCode, 0);
}

// On the bus, and without one through the local socket.
TEST(InstanceProcess, SecondStartHandsOverAndTwoSimultaneousStartsLeaveOne) {
    for (bool bus : {true, false}) {
        SCOPED_TRACE(bus ? "bus" : "local socket");
        expectHandOverAndRace(bus);
    }
}

// 'capture area' from another process opens the overlay of the running instance
// and waits: a drag on it ends in that instance's preview and the command's success;
// the instance ending meanwhile fails the command. Without an instance the command
// starts one first.
TEST(InstanceProcess, CaptureAreaCommandShowsTheRunningInstancesOverlay) {
    PrivateSession session;
    ASSERT_TRUE(session.ready());
    QProcess& app = session.start(lumivane, {});
    ASSERT_TRUE(session.waitForInstance());
    QProcess& command = session.start(lumivane, {"capture", "area"});
    ASSERT_TRUE(session.waitForWindow("Lumivane Selection"));
    EXPECT_EQ(command.state(), QProcess::Running) << "waits for the selection";
    EXPECT_EQ(app.state(), QProcess::Running);

    auto xdotool = [&](const QStringList& args) { session.run("xdotool", args); };
    xdotool({"mousemove", "200", "200"});
    xdotool({"mousedown", "1"});
    xdotool({"mousemove", "300", "260"});
    xdotool({"mousemove", "400", "320"});
    xdotool({"mouseup", "1"});
    EXPECT_TRUE(session.waitForWindow("Lumivane プレビュー"));
    EXPECT_FALSE(session.visibleWindows().contains("Lumivane Selection"));
    ASSERT_TRUE(PrivateSession::finishes(command, 20000)) << command.readAllStandardError().toStdString();
    EXPECT_EQ(command.exitCode(), 0) << command.readAllStandardError().toStdString();

    // The instance ends while a command waits for its capture: the command says so and fails.
    QProcess& orphan = session.start(lumivane, {"capture", "area"});
    ASSERT_TRUE(session.waitForWindow("Lumivane Selection"));
    app.kill();
    ASSERT_TRUE(PrivateSession::finishes(orphan, 10000));
    EXPECT_EQ(orphan.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(orphan.readAllStandardError()).contains("before it answered"));

    // None runs: the command starts Lumivane, which shows the overlay; Escape ends it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.busNameOwner().isEmpty(); }, 5000));
    QProcess& started = session.start(lumivane, {"capture", "area"});
    EXPECT_TRUE(session.waitForWindow("Lumivane Selection", 20000));
    EXPECT_FALSE(session.busNameOwner().isEmpty());
    xdotool({"key", "Escape"});
    ASSERT_TRUE(PrivateSession::finishes(started, 10000));
    EXPECT_EQ(started.exitCode(), 3) << started.readAllStandardError().toStdString();
}

// The first character of Japanese text (kana or kanji) in a text, or -1.
int japaneseAt(const QString& text) {
    for (int i = 0; i < text.size(); ++i)
        if ((text[i] >= QChar(0x3040) && text[i] <= QChar(0x30ff)) ||
            (text[i] >= QChar(0x4e00) && text[i] <= QChar(0x9fff)))
            return i;
    return -1;
}

// A capture command ends with the capture's outcome: 0 once it is shown, 1 with the
// application's Japanese text when it failed (no browser to capture), 3 when the user
// cancelled the selection. On a desktop without a tray the failure also reaches the
// desktop's notifications, with the same text, and the first start says once that
// Lumivane is running.
TEST(InstanceProcess, CaptureCommandsExitWithTheCapturesOutcomeAndNotifyWithoutATray) {
    PrivateSession session;
    ASSERT_TRUE(session.ready());
    lumivane::test::FakeNotificationServer notifications(session.busAddress());
    ASSERT_TRUE(notifications.isRunning()) << notifications.errorText().toStdString();
    QProcess& app = session.start(lumivane, {});
    ASSERT_TRUE(session.waitForInstance());

    // The Xvfb desktop has no tray: one notice that Lumivane runs and how to reach it.
    ASSERT_TRUE(notifications.waitForNotifications(1, 15000));
    QTest::qWait(500);
    ASSERT_EQ(notifications.notifications().size(), 1);
    const auto running = notifications.notifications().first();
    EXPECT_EQ(running.appName, "Lumivane");
    EXPECT_EQ(running.hints.value("desktop-entry").toString(), "io.github.lumivane.Lumivane");
    EXPECT_GE(japaneseAt(running.summary), 0);
    EXPECT_TRUE(running.body.contains("Lumivane")) << running.body.toStdString();

    struct Case {
        const char* mode;
        int exitCode;
    };
    for (const Case& c : {Case{"full", 0}, Case{"browser", 1}}) {
        const auto r = session.run(lumivane, {"capture", c.mode});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.mode << "\n" << r.err.toStdString();
        if (c.exitCode == 0) {
            EXPECT_TRUE(session.waitForWindow("Lumivane プレビュー"));
            continue;
        }
        // The failure's own Japanese text in a notification, and the same on standard error.
        ASSERT_TRUE(notifications.waitForNotifications(2));
        const QString reason = notifications.notifications().last().body;
        EXPECT_GE(japaneseAt(reason), 0) << reason.toStdString();
        EXPECT_TRUE(r.err.contains("lumivane: " + reason)) << r.err.toStdString();
        EXPECT_GE(japaneseAt(notifications.notifications().last().summary), 0);
    }

    QProcess& area = session.start(lumivane, {"capture", "area"});
    ASSERT_TRUE(session.waitForWindow("Lumivane Selection"));
    session.run("xdotool", {"key", "Escape"});
    ASSERT_TRUE(PrivateSession::finishes(area, 10000));
    EXPECT_EQ(area.exitCode(), 3);
    EXPECT_EQ(notifications.notifications().size(), 2) << "a cancel is no failure";

    // The next start says nothing again.
    app.terminate();
    ASSERT_TRUE(app.waitForFinished(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.busNameOwner().isEmpty(); }, 5000));
    session.start(lumivane, {});
    ASSERT_TRUE(session.waitForInstance());
    QTest::qWait(3500);
    EXPECT_EQ(notifications.notifications().size(), 2);
}

// 'open' hands a project file to the running editor; a broken one is refused
// with the application's reason and exit code 1.
TEST(InstanceProcess, OpenCommandShowsTheProjectInTheRunningEditor) {
    PrivateSession session;
    ASSERT_TRUE(session.ready());
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(session.path("shot.png")));
    ASSERT_EQ(session.run(lumivane, {"project", "new", session.path("shot.png"), "-o", session.path("shot.lumivane")})
                  .exitCode,
              0);
    QFile broken(session.path("broken.lumivane"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("{}");
    broken.close();

    session.start(lumivane, {});
    ASSERT_TRUE(session.waitForInstance());
    const auto opened = session.run(lumivane, {"open", session.path("shot.lumivane")});
    EXPECT_EQ(opened.exitCode, 0) << opened.err.toStdString();
    EXPECT_TRUE(session.waitForWindow("Lumivane"));

    // The launcher's form: the file as the only argument.
    const auto launched = session.run(lumivane, {session.path("shot.lumivane")});
    EXPECT_EQ(launched.exitCode, 0) << launched.err.toStdString();

    const auto refused = session.run(lumivane, {"open", session.path("broken.lumivane")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("refused to open")) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("version")) << refused.err.toStdString();

    const auto missing = session.run(lumivane, {"open", session.path("nothing.lumivane")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("does not exist")) << missing.err.toStdString();
    const auto folder = session.run(lumivane, {"open", session.path("run")});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_TRUE(folder.err.contains("is a folder")) << folder.err.toStdString();

    // A name that is not UTF-8, given relative to the working folder, reaches the
    // running application byte for byte (the shell passes the raw bytes).
    ASSERT_TRUE(QFile::copy(session.path("shot.lumivane"), session.path("x")));
    ASSERT_EQ(::rename(QFile::encodeName(session.path("x")).constData(),
                       (QFile::encodeName(session.path("")) + "/caf\xe9.lumivane").constData()),
              0);
    const auto raw = session.run(
        "sh", {"-c", "cd \"$1\" && exec \"$0\" open \"$(printf 'caf\\351.lumivane')\"", lumivane, session.path("")});
    EXPECT_EQ(raw.exitCode, 0) << raw.err.toStdString();
    ::unlink((QFile::encodeName(session.path("")) + "/caf\xe9.lumivane").constData()); // QDir cannot remove it
}

// Paths in requests to the running application keep every byte of the name.
TEST(InstanceRequests, PathsTravelByteForByte) {
    for (const QByteArray& native :
         {QByteArray("/tmp/caf\xe9\xff.lumivane"), QByteArray("/tmp/100% 写真 #1?.lumivane")}) {
        const QString argument = lumivane::pathRequestArgument(lumivane::fileNameFromNative(native));
        EXPECT_TRUE(QByteArray(argument.toUtf8()).startsWith("file:///tmp/")) << argument.toStdString();
        EXPECT_EQ(lumivane::nativeFileName(lumivane::pathFromRequestArgument(argument)), native);
    }
    EXPECT_EQ(lumivane::pathFromRequestArgument("/tmp/写真.lumivane"), QStringLiteral("/tmp/写真.lumivane"));
}

// Without a display and without an instance, a command says why it cannot start one.
TEST(InstanceProcess, CommandWithoutDisplayOrInstanceFailsClearly) {
    PrivateSession session;
    ASSERT_TRUE(session.ready());
    QProcessEnvironment env = session.environment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    const auto r = PrivateSession::run(lumivane, {"capture", "full"}, env, 20000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("no display")) << r.err.toStdString();
}

} // namespace

namespace {

// Runs a command with Qt reporting every plugin it looks at or loads.
PrivateSession::Result runReportingPlugins(const PrivateSession& session, const QStringList& args) {
    QProcessEnvironment env = session.environment();
    env.insert("QT_DEBUG_PLUGINS", "1");
    return PrivateSession::run(lumivane, args, env);
}

} // namespace

// Commands that draw no text start without Qt's GUI machinery: no platform plugin, no
// image plugin loaded for a PNG or JPEG input; their results are whole.
TEST(InstanceProcess, CommandsWithoutTextStartWithoutPlatformOrPlugins) {
    PrivateSession session;
    ASSERT_TRUE(session.ready());
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(30, 120, 200));
    ASSERT_TRUE(image.save(session.path("in.png")));
    ASSERT_TRUE(image.save(session.path("in.jpg"), "JPEG", 95));
    const QList<QStringList> commands = {
        {"export", session.path("in.png"), "-o", session.path("out.png")},
        {"export", session.path("in.jpg"), "-o", session.path("out.jpg")},
        {"project", "new", session.path("in.png"), "-o", session.path("p.lumivane")},
        {"capture", "rect", "10", "20", "100", "50", "-o", session.path("rect.png")},
    };
    for (const QStringList& args : commands) {
        const auto r = runReportingPlugins(session, args);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("plugins/platforms")) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.contains("Loaded library")) << args.join(' ').toStdString();
    }
    EXPECT_EQ(QImage(session.path("out.png")).pixel(5, 5), qRgb(30, 120, 200));
    EXPECT_EQ(QImage(session.path("out.jpg")).size(), QSize(64, 48));
    EXPECT_TRUE(QFile(session.path("p.lumivane")).size() > 0);
    EXPECT_EQ(QImage(session.path("rect.png")).size(), QSize(100, 50));
}

namespace {

// The capture's clipboard file is written into the user's own folder in the runtime
// folder; the running instance clears what an earlier run left and removes its own
// files when it ends (here on SIGTERM, as at logout).
TEST(InstanceProcess, TemporaryFilesArePrivateAndGoAtQuitAndAtTheNextStart) {
    PrivateSession session;
    ASSERT_TRUE(session.ready());
    const QString folder = session.path("run/lumivane");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString stale = folder + "/Screenshot-earlier.png";
    {
        QFile f(stale);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("left by an earlier run");
    }
    QProcess& app = session.start(lumivane, {});
    ASSERT_TRUE(session.waitForInstance()) << app.readAllStandardError().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(stale); }, 5000));

    const auto command = session.run(lumivane, {"capture", "full"});
    EXPECT_EQ(command.exitCode, 0) << command.err.toStdString();
    QString copy;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList files = QDir(folder).entryList({"*.png"}, QDir::Files);
            if (!files.isEmpty())
                copy = folder + "/" + files.first();
            return !copy.isEmpty();
        },
        20000));
    EXPECT_EQ(QFileInfo(folder).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    EXPECT_EQ(QFileInfo(copy).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    app.terminate();
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

} // namespace
