#include "WaylandSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <unistd.h>

#ifndef LUMIVANE_WAYLAND_SESSION_SCRIPT
#error "LUMIVANE_WAYLAND_SESSION_SCRIPT must name tests/support/wayland-session.sh"
#endif

namespace lumivane::test {

namespace {
WaylandSession* g_shared = nullptr;

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

WaylandSession* sharedWayland() {
    return g_shared;
}
void setSharedWayland(WaylandSession* session) {
    g_shared = session;
}

WaylandSession::WaylandSession(bool withPortal) {
    QElapsedTimer clock;
    clock.start();
    QProcess script;
    script.setProgram(QStringLiteral(LUMIVANE_WAYLAND_SESSION_SCRIPT));
    QStringList args = {"start", "--owner", QString::number(getpid())};
    if (!QStringLiteral(LUMIVANE_WAYLAND_POINTER_HELPER).isEmpty())
        args << "--pointer" << QStringLiteral(LUMIVANE_WAYLAND_POINTER_HELPER);
    if (!withPortal)
        args << "--no-portal";
    script.setArguments(args);
    script.start();
    if (!script.waitForStarted(5000)) {
        unavailable_ = true;
        error_ = "cannot run " + script.program() + ": " + script.errorString();
        return;
    }
    if (!script.waitForFinished(60000)) {
        script.terminate(); // the script stops what it had started
        script.waitForFinished(10000);
        error_ = "wayland-session.sh start timed out: " + QString::fromLocal8Bit(script.readAllStandardError());
        return;
    }
    startSeconds_ = clock.elapsed() / 1000.0;
    const QString stdErr = QString::fromLocal8Bit(script.readAllStandardError()).trimmed();
    if (script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        unavailable_ = script.exitStatus() == QProcess::NormalExit && script.exitCode() == 3;
        error_ = stdErr.isEmpty() ? "wayland-session.sh start failed" : stdErr;
        return;
    }
    const QList<QByteArray> lines = script.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        env_.insert(QString::fromLocal8Bit(line.left(eq)), QString::fromLocal8Bit(line.mid(eq + 1)));
    }
    dir_ = env_.take("LUMIVANE_WAYLAND_SESSION");
    if (dir_.isEmpty() || env_.value("WAYLAND_DISPLAY").isEmpty()) {
        error_ = "wayland-session.sh printed no session";
        dir_.clear();
    }
}

WaylandSession::~WaylandSession() {
    if (g_shared == this)
        g_shared = nullptr;
    if (dir_.isEmpty())
        return;
    QProcess script;
    script.start(QStringLiteral(LUMIVANE_WAYLAND_SESSION_SCRIPT), {"stop", dir_});
    script.waitForFinished(30000);
}

QProcessEnvironment WaylandSession::processEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

void WaylandSession::exportToProcess() const {
    for (auto it = env_.cbegin(); it != env_.cend(); ++it)
        qputenv(qPrintable(it.key()), it.value().toLocal8Bit());
}

WaylandSession::Result WaylandSession::run(const QString& program, const QStringList& args, int timeoutMs) const {
    Result result;
    if (!isRunning()) {
        result.err = "no Wayland session";
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

WaylandSession::Result WaylandSession::swaymsg(const QStringList& args) const {
    return run(QStringLiteral("swaymsg"), args);
}

QJsonDocument WaylandSession::swayQuery(const QString& type) const {
    const Result r = swaymsg({"-r", "-t", type});
    return r.ok() ? QJsonDocument::fromJson(r.out) : QJsonDocument();
}

namespace {
QJsonObject findWindow(const QJsonObject& node, const QString& title) {
    if (node.value("pid").toInt() == getpid() && node.value("visible").toBool() &&
        (title.isEmpty() || node.value("name").toString() == title))
        return node;
    for (const char* key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(key).toArray()) {
            const QJsonObject found = findWindow(child.toObject(), title);
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}
} // namespace

QRect WaylandSession::windowRect(const QString& title) const {
    const QJsonObject node = findWindow(swayQuery("get_tree").object(), title);
    if (node.isEmpty())
        return {};
    const QJsonObject r = node.value("rect").toObject();
    return {r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt()};
}

bool WaylandSession::moveCursor(int x, int y) const {
    return swaymsg({"seat", "seat0", "cursor", "set", QString::number(x), QString::number(y)}).ok();
}

bool WaylandSession::pressButton(const QString& button) const {
    return swaymsg({"seat", "seat0", "cursor", "press", button}).ok();
}

bool WaylandSession::releaseButton(const QString& button) const {
    return swaymsg({"seat", "seat0", "cursor", "release", button}).ok();
}

bool WaylandSession::click(int x, int y, const QString& button) const {
    return moveCursor(x, y) && pressButton(button) && releaseButton(button);
}

bool WaylandSession::pressKey(const QString& keysym) const {
    return wtype({"-k", keysym});
}

bool WaylandSession::typeText(const QString& text) const {
    return wtype({"--", text});
}

bool WaylandSession::wtype(const QStringList& args) const {
    return run(QStringLiteral("wtype"), args).ok();
}

QStringList WaylandSession::clipboardTypes() const {
    const Result r = run(QStringLiteral("wl-paste"), {"--list-types"});
    if (!r.ok())
        return {};
    QStringList types = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    for (QString& t : types)
        t = t.trimmed();
    return types;
}

QByteArray WaylandSession::clipboardData(const QString& mimeType) const {
    const Result r = run(QStringLiteral("wl-paste"), {"--no-newline", "--type", mimeType});
    return r.ok() ? r.out : QByteArray();
}

QImage WaylandSession::screenshot(const QString& output) const {
    QStringList args = {"-t", "png"};
    if (!output.isEmpty())
        args << "-o" << output;
    args << "-";
    const Result r = run(QStringLiteral("grim"), args, 20000);
    if (!r.ok())
        return {};
    return QImage::fromData(r.out, "PNG");
}

} // namespace lumivane::test
