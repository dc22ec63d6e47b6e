#pragma once
// A private session for processes under test: its own dbus-daemon (unless asked
// for none), runtime and configuration folders, and the test's X server.
#include "XvfbServer.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <memory>
#include <unistd.h>
#include <vector>

namespace lumivane::test {

class PrivateSession {
public:
    explicit PrivateSession(bool withBus = true) {
        QDir(dir_.path()).mkpath("run");
        QFile::setPermissions(dir_.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(dir_.path()).mkpath("config");
        env_ = QProcessEnvironment::systemEnvironment();
        env_.remove("DBUS_SESSION_BUS_ADDRESS");
        env_.insert("XDG_RUNTIME_DIR", dir_.filePath("run"));
        env_.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
        if (XvfbServer* x = sharedXvfb())
            env_.insert("DISPLAY", x->display());
        if (!withBus)
            return;
        bus_.setProgram("dbus-daemon");
        bus_.setArguments({"--session", "--nofork", "--nopidfile", "--print-address=1"});
        bus_.start();
        if (bus_.waitForReadyRead(10000))
            address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        env_.insert("DBUS_SESSION_BUS_ADDRESS", address_);
    }
    ~PrivateSession() {
        for (auto& p : processes_) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(2000);
            }
        }
        // Applications started by a command run detached: end them by their lock's pid.
        QFile lock(dir_.filePath("run/io.github.lumivane.Lumivane.lock"));
        if (lock.open(QIODevice::ReadOnly)) {
            const qint64 pid = lock.readLine().trimmed().toLongLong();
            if (pid > 1 && pid != ::getpid() && ::kill(pid_t(pid), SIGTERM) == 0)
                for (int i = 0; i < 50 && ::kill(pid_t(pid), 0) == 0; ++i)
                    QThread::msleep(100);
        }
        if (bus_.state() != QProcess::NotRunning) {
            bus_.terminate();
            bus_.waitForFinished(3000);
        }
    }
    bool ready() const { return !address_.isEmpty() || !env_.contains("DBUS_SESSION_BUS_ADDRESS"); }
    QString busAddress() const { return address_; }
    const QProcessEnvironment& environment() const { return env_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

    // A started process, ended with the session.
    QProcess& start(const QString& program, const QStringList& args) {
        processes_.push_back(std::make_unique<QProcess>());
        QProcess& p = *processes_.back();
        p.setProcessEnvironment(env_);
        p.start(program, args);
        p.waitForStarted(5000);
        return p;
    }
    // Runs to the end (in the session's environment unless given another); exit code, output and errors.
    struct Result {
        int exitCode = -1;
        QString out, err;
    };
    Result run(const QString& program, const QStringList& args, int timeoutMs = 30000) const {
        return run(program, args, env_, timeoutMs);
    }
    static Result run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                      int timeoutMs = 30000) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        Result r;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            r.err = "timed out";
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    // Titles of the visible top-level windows of the test's X server.
    QStringList visibleWindows() const {
        return run("xdotool", {"search", "--onlyvisible", "--name", ".", "getwindowname", "%@"}, 5000)
            .out.split('\n', Qt::SkipEmptyParts);
    }
    bool waitForWindow(const QString& title, int ms = 15000) const {
        return QTest::qWaitFor([&] { return visibleWindows().contains(title); }, ms);
    }
    // The bus name's owner, empty while no instance holds it.
    QString busNameOwner() const {
        const Result r =
            run("dbus-send",
                {"--session", "--print-reply=literal", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                 "org.freedesktop.DBus.GetNameOwner", "string:io.github.lumivane.Lumivane"},
                5000);
        return r.exitCode == 0 ? r.out.trimmed() : QString();
    }
    // Waits until one instance serves, over the bus or (without one) the local socket.
    bool waitForInstance() const {
        return QTest::qWaitFor(
            [&] {
                return address_.isEmpty() ? QFile::exists(path("run/io.github.lumivane.Lumivane.socket"))
                                          : !busNameOwner().isEmpty();
            },
            15000);
    }
    // True once the process has ended; waitForFinished() alone answers false for one that
    // ended while an earlier wait ran the event loop.
    static bool finishes(QProcess& process, int ms) {
        return process.state() == QProcess::NotRunning || process.waitForFinished(ms);
    }

private:
    QTemporaryDir dir_;
    QProcessEnvironment env_;
    QProcess bus_;
    QString address_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

} // namespace lumivane::test
