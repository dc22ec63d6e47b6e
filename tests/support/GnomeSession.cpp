#include "GnomeSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <unistd.h>

#ifndef LUMIVANE_GNOME_SESSION_SCRIPT
#error "LUMIVANE_GNOME_SESSION_SCRIPT must name tests/support/gnome-session.sh"
#endif

namespace lumivane::test {

namespace {
GnomeSession* g_shared = nullptr;

bool waitFor(QProcess& process, int timeoutMs) {
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread())
        return process.waitForFinished(timeoutMs);
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (process.state() != QProcess::NotRunning)
            process.waitForFinished(5);
    }
    return true;
}

const QString storeArgs[] = {QStringLiteral("--session"),
                             QStringLiteral("-d"),
                             QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                             QStringLiteral("-o"),
                             QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                             QStringLiteral("-m")};
} // namespace

GnomeSession* sharedGnome() {
    return g_shared;
}
void setSharedGnome(GnomeSession* session) {
    g_shared = session;
}

GnomeSession::GnomeSession(const QString& size) {
    QElapsedTimer clock;
    clock.start();
    QProcess script;
    script.start(QStringLiteral(LUMIVANE_GNOME_SESSION_SCRIPT),
                 {"start", "--owner", QString::number(getpid()), "--size", size});
    if (!script.waitForStarted(5000)) {
        unavailable_ = true;
        error_ = "cannot run " + script.program() + ": " + script.errorString();
        return;
    }
    if (!script.waitForFinished(120000)) {
        script.terminate();
        script.waitForFinished(15000);
        error_ = "gnome-session.sh start timed out: " + QString::fromLocal8Bit(script.readAllStandardError());
        return;
    }
    startSeconds_ = clock.elapsed() / 1000.0;
    if (script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        unavailable_ = script.exitStatus() == QProcess::NormalExit && script.exitCode() == 3;
        error_ = QString::fromLocal8Bit(script.readAllStandardError()).trimmed();
        if (error_.isEmpty())
            error_ = "gnome-session.sh start failed";
        return;
    }
    for (const QByteArray& line : script.readAllStandardOutput().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            env_.insert(QString::fromLocal8Bit(line.left(eq)), QString::fromLocal8Bit(line.mid(eq + 1)));
    }
    dir_ = env_.take("LUMIVANE_GNOME_SESSION");
    if (dir_.isEmpty())
        error_ = "gnome-session.sh printed no session";
}

GnomeSession::~GnomeSession() {
    if (g_shared == this)
        g_shared = nullptr;
    if (dir_.isEmpty())
        return;
    QProcess script;
    script.start(QStringLiteral(LUMIVANE_GNOME_SESSION_SCRIPT), {"stop", dir_});
    script.waitForFinished(30000);
}

QProcessEnvironment GnomeSession::processEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

void GnomeSession::exportToProcess() const {
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        qputenv(qPrintable(it.key()), it.value().toLocal8Bit());
}

GnomeSession::Result GnomeSession::run(const QString& program, const QStringList& args, int timeoutMs) const {
    Result result;
    if (!isRunning()) {
        result.err = "no GNOME session";
        return result;
    }
    QProcess process;
    process.setProcessEnvironment(processEnvironment());
    process.start(program, args);
    if (!process.waitForStarted(5000)) {
        result.err = process.errorString().toLocal8Bit();
        return result;
    }
    if (!waitFor(process, timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        result.err = program.toLocal8Bit() + " timed out";
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

bool GnomeSession::setScreenshotPermission(const QString& answer) const {
    QStringList args(std::begin(storeArgs), std::end(storeArgs));
    if (answer.isEmpty()) {
        args << "org.freedesktop.impl.portal.PermissionStore.DeletePermission"
             << "screenshot"
             << "screenshot"
             << "";
        const Result r = run("gdbus", QStringList{"call"} + args);
        // Nothing stored is as good as removed.
        return r.ok() || r.err.contains("NotFound");
    }
    args << "org.freedesktop.impl.portal.PermissionStore.SetPermission"
         << "screenshot"
         << "true"
         << "screenshot"
         << "" << QStringLiteral("['%1']").arg(answer);
    return run("gdbus", QStringList{"call"} + args).ok();
}

QString GnomeSession::gsettingsGet(const QString& schema, const QString& key) const {
    const Result r = run("gsettings", {"get", schema, key});
    return r.ok() ? QString::fromUtf8(r.out).trimmed() : QString();
}

bool GnomeSession::gsettingsSet(const QString& schema, const QString& key, const QString& value) const {
    return run("gsettings", {"set", schema, key, value}).ok();
}

} // namespace lumivane::test
