#include "ScriptedSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace lumivane::test {

namespace {
// Waits for a started process; with an application, events keep flowing.
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
} // namespace

QString ScriptedSession::scriptName() const {
    return QFileInfo(script_).fileName();
}

bool ScriptedSession::start(const QStringList& args, const QString& sessionKey, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QProcess script;
    script.start(script_, QStringList{"start"} + args);
    if (!script.waitForStarted(5000)) {
        unavailable_ = true;
        error_ = "cannot run " + script_ + ": " + script.errorString();
        return false;
    }
    if (!script.waitForFinished(timeoutMs)) {
        script.terminate(); // the script stops what it had started
        script.waitForFinished(15000);
        error_ = scriptName() + " start timed out: " + QString::fromLocal8Bit(script.readAllStandardError());
        return false;
    }
    startSeconds_ = clock.elapsed() / 1000.0;
    if (script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        unavailable_ = script.exitStatus() == QProcess::NormalExit && script.exitCode() == 3;
        error_ = QString::fromLocal8Bit(script.readAllStandardError()).trimmed();
        if (error_.isEmpty())
            error_ = scriptName() + " start failed";
        return false;
    }
    for (const QByteArray& line : script.readAllStandardOutput().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            env_.insert(QString::fromLocal8Bit(line.left(eq)), QString::fromLocal8Bit(line.mid(eq + 1)));
    }
    dir_ = env_.take(sessionKey);
    if (dir_.isEmpty()) {
        error_ = scriptName() + " printed no session";
        return false;
    }
    running_ = true;
    return true;
}

ScriptedSession::~ScriptedSession() {
    if (dir_.isEmpty())
        return;
    QProcess script;
    script.start(script_, {"stop", dir_});
    script.waitForFinished(30000);
}

bool ScriptedSession::runScript(const QString& command, int timeoutMs) {
    QProcess script;
    script.start(script_, {command, dir_});
    if (!script.waitForFinished(timeoutMs) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        error_ = scriptName() + " " + command + " failed: " + QString::fromLocal8Bit(script.readAllStandardError());
        return false;
    }
    return true;
}

QProcessEnvironment ScriptedSession::processEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : hidden_)
        env.remove(name);
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

void ScriptedSession::exportToProcess() const {
    for (const QString& name : hidden_)
        qunsetenv(qPrintable(name));
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        qputenv(qPrintable(it.key()), it.value().toLocal8Bit());
}

ScriptedSession::Result ScriptedSession::run(const QString& program, const QStringList& args, int timeoutMs) const {
    Result result;
    if (!isRunning()) {
        result.err = "no session: " + error_.toLocal8Bit();
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

} // namespace lumivane::test
