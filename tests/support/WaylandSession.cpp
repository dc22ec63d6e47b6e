#include "WaylandSession.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <unistd.h>

#ifndef LUMIVANE_WAYLAND_SESSION_SCRIPT
#error "LUMIVANE_WAYLAND_SESSION_SCRIPT must name tests/support/wayland-session.sh"
#endif

namespace lumivane::test {

namespace {
WaylandSession* g_shared = nullptr;
} // namespace

WaylandSession* sharedWayland() {
    return g_shared;
}
void setSharedWayland(WaylandSession* session) {
    g_shared = session;
}

WaylandSession::WaylandSession(bool withPortal) : ScriptedSession(QStringLiteral(LUMIVANE_WAYLAND_SESSION_SCRIPT)) {
    QStringList args = {"--owner", QString::number(getpid())};
    if (!QStringLiteral(LUMIVANE_WAYLAND_POINTER_HELPER).isEmpty())
        args << "--pointer" << QStringLiteral(LUMIVANE_WAYLAND_POINTER_HELPER);
    if (!withPortal)
        args << "--no-portal";
    if (start(args, "LUMIVANE_WAYLAND_SESSION", 60000) && value("WAYLAND_DISPLAY").isEmpty())
        fail("wayland-session.sh printed no WAYLAND_DISPLAY");
}

WaylandSession::~WaylandSession() {
    if (g_shared == this)
        g_shared = nullptr;
}

WaylandSession::Result WaylandSession::swaymsg(const QStringList& args) const {
    return run(QStringLiteral("swaymsg"), args);
}

WaylandSession::Result WaylandSession::commandWindow(const QString& title, const QStringList& command,
                                                     int timeoutMs) const {
    const QStringList args = QStringList{QStringLiteral("[title=%1]").arg(title)} + command;
    QElapsedTimer waited;
    waited.start();
    Result r = swaymsg(args);
    while (!r.ok() && r.out.contains("No matching node") && waited.elapsed() < timeoutMs) {
        QTest::qWait(50);
        r = swaymsg(args);
    }
    return r;
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
