#include "ChromiumSession.h"

#include "browser/BrowserCaptureError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

namespace lumivane::test {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        waitProcessingEvents(std::chrono::milliseconds(50));
    }
    return true;
}

bool ensureWindowManager() {
    static QProcess* wm = nullptr;
    if (wm)
        return wm->state() == QProcess::Running;
    wm = new QProcess; // lives as long as the test process; ended with it
    wm->setStandardOutputFile(QProcess::nullDevice());
    wm->setStandardErrorFile(QProcess::nullDevice());
    wm->start("openbox", {"--sm-disable"});
    if (!wm->waitForStarted(5000))
        return false;
    // Ready once it has announced itself on the root window.
    return waitUntil(
        [] {
            QProcess xprop;
            xprop.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
            xprop.waitForFinished(2000);
            return xprop.readAllStandardOutput().contains("window id");
        },
        10000);
}

ChromiumSession::ChromiumSession(QRect window) {
    if (!ensureWindowManager()) {
        error_ = "cannot start openbox";
        return;
    }
    const QStringList args = {"--user-data-dir=" + profile_.path(),
                              "--remote-debugging-port=0",
                              "--no-sandbox",
                              "--disable-gpu",
                              "--no-first-run",
                              "--disable-background-networking",
                              "--disable-component-update",
                              "--disable-sync",
                              "--disable-quic",
                              "--disable-default-apps",
                              "--no-default-browser-check",
                              "--disable-translate",
                              "--force-color-profile=srgb",
                              "--disable-features=Translate,MediaRouter",
                              QStringLiteral("--window-position=%1,%2").arg(window.x()).arg(window.y()),
                              QStringLiteral("--window-size=%1,%2").arg(window.width()).arg(window.height()),
                              "about:blank"};
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start("/usr/bin/chromium", args);
    if (!process_.waitForStarted(10000)) {
        error_ = "cannot start chromium: " + process_.errorString();
        return;
    }
    QString path;
    const QDeadlineTimer deadline(30000);
    QFile file(QDir(profile_.path()).filePath("DevToolsActivePort"));
    while (!deadline.hasExpired()) {
        if (file.open(QIODevice::ReadOnly)) {
            if (auto active = DevToolsActivePort::parse(file.readAll()); active && !active->browserPath.isEmpty()) {
                port_ = active->port;
                path = active->browserPath;
                break;
            }
            file.close();
        }
        QThread::msleep(100);
    }
    if (!port_) {
        error_ = "chromium did not write DevToolsActivePort";
        return;
    }
    socket_ = std::make_unique<QWebSocket>();
    socket_->setProxy(QNetworkProxy::NoProxy);
    socket_->open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(port_).arg(path)));
    if (!waitUntil([&] { return socket_->state() == QAbstractSocket::ConnectedState; })) {
        error_ = "cannot connect to chromium";
        port_ = 0;
        return;
    }
    waitUntil([&] { return !windows().empty(); }, 15000);
    for (const QJsonValue& v : call("Target.getTargets", {}).value("targetInfos").toArray())
        if (v.toObject().value("type").toString() == "page")
            firstTarget_ = v.toObject().value("targetId").toString();
}

ChromiumSession::~ChromiumSession() {
    socket_.reset();
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

DevToolsBridge::Options ChromiumSession::bridgeOptions(int timeoutMs) const {
    DevToolsBridge::Options o;
    o.profileFolders = {profile_.path()};
    o.fallbackPort = 0;
    o.timeoutMs = timeoutMs;
    return o;
}

QJsonObject ChromiumSession::call(const QString& method, const QJsonObject& params, const QString& session) {
    const int id = nextId_++;
    QJsonObject answer;
    bool done = false;
    auto c = QObject::connect(socket_.get(), &QWebSocket::textMessageReceived, [&](const QString& text) {
        const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
        if (o.value("id").toInt() == id) {
            answer = o.value("result").toObject();
            done = true;
        }
    });
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (!session.isEmpty())
        message.insert("sessionId", session);
    socket_->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    waitUntil([&] { return done; }, 15000);
    QObject::disconnect(c);
    return answer;
}

QString ChromiumSession::sessionFor(const QString& target) {
    if (auto it = sessions_.find(target); it != sessions_.end())
        return it->second;
    const QString s =
        call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}).value("sessionId").toString();
    sessions_[target] = s;
    return s;
}

QString ChromiumSession::js(const QString& script, const QString& target) {
    const QJsonObject r =
        call("Runtime.evaluate", {{"expression", script}, {"returnByValue", true}, {"awaitPromise", true}},
             sessionFor(target.isEmpty() ? firstTarget_ : target));
    const QJsonValue v = r.value("result").toObject().value("value");
    return v.isString()   ? v.toString()
           : v.isDouble() ? QString::number(v.toDouble(), 'g', 17)
                          : v.toVariant().toString();
}

QString ChromiumSession::writePage(const QString& name, const QString& html) {
    const QString path = QDir(pages_.path()).filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(html.toUtf8());
    return QUrl::fromLocalFile(path).toString();
}

static bool loaded(ChromiumSession& s, const QString& url, const QString& target) {
    return waitUntil([&] { return s.js("document.readyState + ' ' + location.href", target) == "complete " + url; },
                     15000) &&
           s.js("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r('ok'))))", target) == "ok";
}

bool ChromiumSession::openPage(const QString& url) {
    call("Page.navigate", {{"url", url}}, sessionFor(firstTarget_));
    return loaded(*this, url, firstTarget_);
}

QString ChromiumSession::openWindow(const QString& url, QRect bounds) {
    const QString target =
        call("Target.createTarget", {{"url", url}, {"newWindow", true}}).value("targetId").toString();
    const int windowId = call("Browser.getWindowForTarget", {{"targetId", target}}).value("windowId").toInt();
    call("Browser.setWindowBounds",
         {{"windowId", windowId},
          {"bounds",
           QJsonObject{
               {"left", bounds.x()}, {"top", bounds.y()}, {"width", bounds.width()}, {"height", bounds.height()}}}});
    loaded(*this, url, target);
    return target;
}

std::vector<std::pair<quint32, QRect>> ChromiumSession::windows() const {
    QProcess xdotool;
    xdotool.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid()), "--class", "chromium"});
    xdotool.waitForFinished(5000);
    std::vector<std::pair<quint32, QRect>> out;
    for (const QByteArray& id : xdotool.readAllStandardOutput().split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        QProcess geometry;
        geometry.start("xdotool", {"getwindowgeometry", "--shell", QString::fromLatin1(id.trimmed())});
        geometry.waitForFinished(5000);
        QHash<QString, int> v;
        for (const QByteArray& line : geometry.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> kv = line.split('=');
            if (kv.size() == 2)
                v.insert(QString::fromLatin1(kv[0]), kv[1].toInt());
        }
        if (v.value("WIDTH") > 100)
            out.push_back({quint32(id.trimmed().toUInt()), QRect(v["X"], v["Y"], v["WIDTH"], v["HEIGHT"])});
    }
    return out;
}

bool ChromiumSession::activateWindowAt(QPoint topLeft) {
    // A window just opened may not be mapped and placed yet on a busy machine.
    quint32 found = 0;
    waitUntil(
        [&] {
            for (const auto& [id, frame] : windows())
                if ((frame.topLeft() - topLeft).manhattanLength() <= 40)
                    found = id;
            return found != 0;
        },
        15000);
    if (!found)
        return false;
    QProcess xdotool;
    xdotool.start("xdotool", {"windowactivate", "--sync", QString::number(found)});
    xdotool.waitForFinished(5000);
    return js("new Promise(r => setTimeout(() => r('ok'), 200))") == "ok";
}

} // namespace lumivane::test
