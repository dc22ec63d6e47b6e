#include "KWinSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <unistd.h>

#ifndef LUMIVANE_KWIN_SESSION_SCRIPT
#error "LUMIVANE_KWIN_SESSION_SCRIPT must name tests/support/kwin-session.sh"
#endif

namespace lumivane::test {

namespace {
KWinSession* g_shared = nullptr;
const QString script = QStringLiteral(LUMIVANE_KWIN_SESSION_SCRIPT);
} // namespace

KWinSession* sharedKWin() {
    return g_shared;
}
void setSharedKWin(KWinSession* session) {
    g_shared = session;
}

KWinSession::KWinSession(double scale, const QString& size) {
    QElapsedTimer clock;
    clock.start();
    QProcess start;
    start.start(script,
                {"start", "--owner", QString::number(getpid()), "--scale", QString::number(scale), "--size", size});
    if (!start.waitForStarted(5000)) {
        unavailable_ = true;
        error_ = "cannot run " + script + ": " + start.errorString();
        return;
    }
    if (!start.waitForFinished(60000)) {
        start.terminate(); // the script stops what it had started
        start.waitForFinished(10000);
        error_ = "kwin-session.sh start timed out: " + QString::fromLocal8Bit(start.readAllStandardError());
        return;
    }
    startSeconds_ = clock.elapsed() / 1000.0;
    if (start.exitStatus() != QProcess::NormalExit || start.exitCode() != 0) {
        unavailable_ = start.exitStatus() == QProcess::NormalExit && start.exitCode() == 3;
        error_ = QString::fromLocal8Bit(start.readAllStandardError()).trimmed();
        if (error_.isEmpty())
            error_ = "kwin-session.sh start failed";
        return;
    }
    for (const QByteArray& line : start.readAllStandardOutput().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            env_.insert(QString::fromLocal8Bit(line.left(eq)), QString::fromLocal8Bit(line.mid(eq + 1)));
    }
    dir_ = env_.take("LUMIVANE_KWIN_SESSION");
    prefix_ = env_.take("LUMIVANE_KWIN_PREFIX");
    if (dir_.isEmpty() || prefix_.isEmpty())
        error_ = "kwin-session.sh printed no session";
}

KWinSession::~KWinSession() {
    if (g_shared == this)
        g_shared = nullptr;
    if (dir_.isEmpty())
        return;
    QProcess stop;
    stop.start(script, {"stop", dir_});
    stop.waitForFinished(30000);
}

QProcessEnvironment KWinSession::processEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

void KWinSession::exportToProcess() const {
    qunsetenv("DISPLAY");
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        qputenv(qPrintable(it.key()), it.value().toLocal8Bit());
}

bool KWinSession::installEntry(const QString& fileName, const QString& executable) {
    const QString applications = prefix_ + "/share/applications";
    QDir().mkpath(applications);
    QFile entry(applications + "/" + fileName);
    if (!entry.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = "cannot write " + entry.fileName();
        return false;
    }
    entry.write("[Desktop Entry]\nType=Application\nName=Lumivane tests\nNoDisplay=true\nExec=" +
                executable.toLocal8Bit() + " %f\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n");
    entry.close();
    return refreshServices();
}

bool KWinSession::refreshServices() {
    QProcess refresh;
    refresh.start(script, {"services", dir_});
    if (!refresh.waitForFinished(60000) || refresh.exitStatus() != QProcess::NormalExit || refresh.exitCode() != 0) {
        error_ = "kwin-session.sh services failed: " + QString::fromLocal8Bit(refresh.readAllStandardError());
        return false;
    }
    // KWin's service cache looks for a rebuilt database at most every 1.5 s and by
    // whole-second stamps: until then it answers from the old one.
    QThread::msleep(2000);
    return true;
}

} // namespace lumivane::test
