#include "browser/DevToolsBridge.h"

#include "browser/BrowserCaptureError.h"
#include "browser/BrowserScripts.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace lumivane {

namespace {

// The first command on a new connection may wait for the user: a browser whose
// debugging was switched on at chrome://inspect asks before it lets a client in.
constexpr int firstCommandTimeoutMs = 30000;
constexpr int maxTabsProbed = 32;

struct BusyGuard {
    bool& flag;
    explicit BusyGuard(bool& f) : flag(f) { flag = true; }
    ~BusyGuard() { flag = false; }
};

QString pathOf(const QString& address) {
    const QUrl url(address);
    QString path = url.path(QUrl::FullyEncoded);
    if (url.hasQuery())
        path += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    return path;
}

// How well two rectangles cover each other (intersection over union).
double overlap(const QRect& a, const QRect& b) {
    const QRect i = a & b;
    if (i.isEmpty())
        return 0;
    const double inter = double(i.width()) * i.height();
    const double uni = double(a.width()) * a.height() + double(b.width()) * b.height() - inter;
    return uni > 0 ? inter / uni : 0;
}

// How well a browser window's bounds (in the browser's device-independent pixels) cover
// the front window's frame (root pixels), at the usual desktop scale factors.
double windowMatch(const QRect& bounds, const QRect& frame) {
    double best = 0;
    for (double k : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
        const QRect scaled(int(std::lround(bounds.x() * k)), int(std::lround(bounds.y() * k)),
                           int(std::lround(bounds.width() * k)), int(std::lround(bounds.height() * k)));
        best = std::max(best, overlap(scaled, frame));
    }
    return best;
}

} // namespace

DevToolsBridge::DevToolsBridge() : DevToolsBridge(Options{}) {}

DevToolsBridge::DevToolsBridge(Options options) : options_(std::move(options)) {
    network_.setProxy(QNetworkProxy::NoProxy);
}

DevToolsBridge::~DevToolsBridge() = default;

std::optional<QByteArray> DevToolsBridge::httpGet(quint16 port, const QString& path, int timeoutMs) {
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = network_.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 100, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    std::optional<QByteArray> body;
    if (!reply->isFinished())
        reply->abort();
    else if (reply->error() == QNetworkReply::NoError)
        body = reply->readAll();
    reply->deleteLater();
    return body;
}

std::vector<DevToolsBridge::Endpoint> DevToolsBridge::endpoints(std::optional<SupportedBrowser> browser) {
    const QString homeFolder = options_.homeFolder.isEmpty() ? QDir::homePath() : options_.homeFolder;
    QString configHome = options_.configHome;
    if (configHome.isEmpty())
        configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (configHome.isEmpty())
        configHome = QDir(homeFolder).filePath(".config");
    std::vector<Endpoint> out;
    const auto add = [&](Endpoint e) {
        for (const Endpoint& o : out)
            if (o.port == e.port)
                return;
        out.push_back(std::move(e));
    };
    for (SupportedBrowser b : allSupportedBrowsers) {
        if (browser && b != *browser)
            continue;
        const QStringList folders = options_.profileFolders.isEmpty()
                                        ? devToolsProfileFolders(b, configHome, homeFolder)
                                        : options_.profileFolders;
        for (const QString& folder : folders) {
            QFile file(QDir(folder).filePath("DevToolsActivePort"));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            if (auto active = DevToolsActivePort::parse(file.read(4096)))
                add({active->port, active->browserPath,
                     options_.profileFolders.isEmpty() ? std::optional(b) : browser});
        }
    }
    if (options_.fallbackPort != 0)
        add({options_.fallbackPort, QString(), std::nullopt});
    return out;
}

bool DevToolsBridge::openSocket(QWebSocket& socket, quint16 port, const QString& path) {
    // A refused port fails at once; a browser asking the user may hold the handshake.
    socket.setProxy(QNetworkProxy::NoProxy);
    QEventLoop loop;
    bool failed = false;
    auto c1 = QObject::connect(&socket, &QWebSocket::connected, &loop, &QEventLoop::quit);
    auto c2 = QObject::connect(&socket, &QWebSocket::disconnected, &loop, [&] {
        failed = true;
        loop.quit();
    });
    auto c3 = QObject::connect(&socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), &loop, [&] {
        failed = true;
        loop.quit();
    });
    QTimer::singleShot(firstCommandTimeoutMs, &loop, &QEventLoop::quit);
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(port).arg(path)));
    loop.exec();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    QObject::disconnect(c3);
    if (failed || socket.state() != QAbstractSocket::ConnectedState) {
        socket.abort();
        return false;
    }
    return true;
}

void DevToolsBridge::drop(Connection* c) {
    if (connection_ == c) {
        connection_ = nullptr;
        tab_.reset();
        tabSession_.clear();
    }
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                      [c](const std::unique_ptr<Connection>& p) { return p.get() == c; }),
                       connections_.end());
}

DevToolsBridge::Connection* DevToolsBridge::connect(const Endpoint& e) {
    for (const auto& c : connections_) {
        if (c->port != e.port || (!e.path.isEmpty() && c->path != e.path))
            continue;
        if (c->socket && c->socket->state() == QAbstractSocket::ConnectedState)
            return c.get();
        drop(c.get());
        break;
    }
    QString path = e.path;
    if (path.isEmpty()) {
        // The fixed port: its version information names the browser endpoint.
        const auto body = httpGet(e.port, QStringLiteral("/json/version"), std::min(options_.timeoutMs, 1500));
        if (!body)
            return nullptr;
        path = pathOf(QJsonDocument::fromJson(*body).object().value("webSocketDebuggerUrl").toString());
        if (!path.startsWith(QLatin1String("/devtools/browser/")))
            return nullptr;
    }
    auto c = std::make_unique<Connection>();
    c->port = e.port;
    c->path = path;
    c->folderBrowser = e.folderBrowser;
    c->socket = std::make_unique<QWebSocket>();
    if (!openSocket(*c->socket, e.port, path))
        return nullptr;
    Connection* raw = c.get();
    connections_.push_back(std::move(c));
    try {
        send(*raw, QStringLiteral("Browser.getVersion"), {}, {}, firstCommandTimeoutMs);
    } catch (const BrowserCaptureError&) {
        drop(raw);
        return nullptr;
    }
    return raw;
}

QJsonObject DevToolsBridge::send(Connection& c, const QString& method, const QJsonObject& params,
                                 const QString& sessionId, int timeoutMs) {
    const int id = nextId_++;
    std::optional<QJsonObject> answer;
    QWebSocket& socket = *c.socket;
    QEventLoop loop;
    auto c1 = QObject::connect(&socket, &QWebSocket::textMessageReceived, &loop, [&](const QString& text) {
        const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
        if (o.value("id").toInt(-1) == id) {
            answer = o;
            loop.quit();
        }
    });
    auto c2 = QObject::connect(&socket, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs > 0 ? timeoutMs : options_.timeoutMs, &loop, &QEventLoop::quit);
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (!sessionId.isEmpty())
        message.insert("sessionId", sessionId);
    socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    loop.exec();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    if (!answer) {
        // A late answer must not be taken for a later call's: drop the connection.
        const QString name = nameForErrors_;
        drop(&c);
        throw BrowserCaptureError::automationFailed((name.isEmpty() ? QStringLiteral("ブラウザ") : name) +
                                                        QStringLiteral(" から応答を取得できませんでした。"),
                                                    name);
    }
    if (answer->contains("error")) {
        const QString text = answer->value("error").toObject().value("message").toString().trimmed();
        throw BrowserCaptureError::automationFailed(
            text.isEmpty() ? QStringLiteral("不明な DevTools エラーです。") : text, nameForErrors_);
    }
    return answer->value("result").toObject();
}

qint64 DevToolsBridge::browserPid(Connection& c) {
    if (c.pid >= 0)
        return c.pid;
    c.pid = 0;
    try {
        const QJsonArray processes = send(c, "SystemInfo.getProcessInfo", {}, {}, 0).value("processInfo").toArray();
        for (const QJsonValue& v : processes)
            if (v.toObject().value("type").toString() == QLatin1String("browser"))
                c.pid = qint64(v.toObject().value("id").toDouble());
    } catch (const BrowserCaptureError&) {
    }
    return c.pid;
}

QString DevToolsBridge::sessionFor(Connection& c, const QString& targetId) {
    if (auto it = c.sessions.find(targetId); it != c.sessions.end())
        return it->second;
    const QString session = send(c, "Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}}, {}, 0)
                                .value("sessionId")
                                .toString();
    if (session.isEmpty())
        throw BrowserCaptureError::automationFailed(QStringLiteral("タブに接続できませんでした。"));
    c.sessions[targetId] = session;
    return session;
}

QString DevToolsBridge::evaluateIn(Connection& c, const QString& sessionId, const QString& expression) {
    const QJsonObject result =
        send(c, "Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}},
             sessionId, 0);
    if (result.contains("exceptionDetails")) {
        const QJsonObject details = result.value("exceptionDetails").toObject();
        QString text = details.value("exception").toObject().value("description").toString();
        if (text.isEmpty())
            text = details.value("text").toString();
        text = text.section(QLatin1Char('\n'), 0, 0).trimmed();
        throw BrowserCaptureError::automationFailed(
            text.isEmpty() ? QStringLiteral("不明な JavaScript エラーです。") : text, nameForErrors_);
    }
    const QJsonObject value = result.value("result").toObject();
    const QString type = value.value("type").toString();
    if (type == QLatin1String("string"))
        return value.value("value").toString();
    if (type == QLatin1String("number"))
        return QString::number(value.value("value").toDouble(), 'g', 17);
    if (type == QLatin1String("boolean"))
        return value.value("value").toBool() ? "true" : "false";
    throw BrowserCaptureError::automationFailed(
        (nameForErrors_.isEmpty() ? QStringLiteral("ブラウザ") : nameForErrors_) +
            QStringLiteral(" から応答を取得できませんでした。"),
        nameForErrors_);
}

std::optional<BrowserTab> DevToolsBridge::frontTabOf(Connection& c, const std::optional<FrontmostWindowInfo>& front,
                                                     bool* windowMismatch) {
    const QJsonArray infos = send(c, "Target.getTargets", {}, {}, 0).value("targetInfos").toArray();
    std::vector<Candidate> candidates;
    for (const QJsonValue& v : infos) {
        const QJsonObject o = v.toObject();
        if (o.value("type").toString() != QLatin1String("page"))
            continue;
        Candidate cand{o.value("targetId").toString(), o.value("url").toString(), {}, 0};
        try {
            const QJsonObject w = send(c, "Browser.getWindowForTarget", {{"targetId", cand.targetId}}, {}, 0);
            const QJsonObject b = w.value("bounds").toObject();
            if (b.value("windowState").toString() == QLatin1String("minimized"))
                continue;
            cand.windowId = w.value("windowId").toInt();
            cand.bounds = QRect(b.value("left").toInt(), b.value("top").toInt(), b.value("width").toInt(),
                                b.value("height").toInt());
        } catch (const BrowserCaptureError&) {
            if (!c.socket || c.socket->state() != QAbstractSocket::ConnectedState)
                throw;
        }
        candidates.push_back(cand);
    }
    if (front && front->frame.isValid()) {
        // Only the tabs of the browser window lying where the front window is.
        double best = 0;
        int bestWindow = 0;
        for (const Candidate& cand : candidates)
            if (const double o = windowMatch(cand.bounds, front->frame); o > best) {
                best = o;
                bestWindow = cand.windowId;
            }
        if (best < 0.6) {
            *windowMismatch = true;
            return std::nullopt;
        }
        std::erase_if(candidates, [&](const Candidate& cand) { return cand.windowId != bestWindow; });
    }
    // The tab shown in a window is the visible one; with several windows, the focused one.
    std::optional<Candidate> visible, focused;
    int probed = 0;
    for (const Candidate& cand : candidates) {
        if (++probed > maxTabsProbed)
            break;
        QString state;
        try {
            state = evaluateIn(c, sessionFor(c, cand.targetId),
                               QStringLiteral("document.visibilityState + ' ' + document.hasFocus()"));
        } catch (const BrowserCaptureError&) {
            if (!c.socket || c.socket->state() != QAbstractSocket::ConnectedState)
                throw;
            c.sessions.erase(cand.targetId);
            continue;
        }
        if (!state.startsWith(QLatin1String("visible")))
            continue;
        if (!visible)
            visible = cand;
        if (state.endsWith(QLatin1String("true")) && !focused)
            focused = cand;
    }
    const std::optional<Candidate> chosen = focused ? focused : visible;
    if (!chosen)
        return std::nullopt;
    BrowserTab tab;
    tab.targetId = chosen->targetId;
    tab.url = chosen->url;
    tab.windowBounds = chosen->bounds;
    return tab;
}

BrowserTab DevToolsBridge::selectFrontTab(std::optional<SupportedBrowser> browser,
                                          const std::optional<FrontmostWindowInfo>& front) {
    if (busy_)
        throw BrowserCaptureError::automationFailed(QStringLiteral("別のブラウザ操作を実行中です。"));
    BusyGuard guard(busy_);
    tab_.reset();
    tabSession_.clear();
    connection_ = nullptr;
    nameForErrors_ = browser ? displayName(*browser) : QString();

    bool otherBrowser = false;
    bool anyConnection = false;
    bool noVisibleTab = false;
    for (const Endpoint& e : endpoints(browser)) {
        Connection* c = connect(e);
        if (!c)
            continue;
        anyConnection = true;
        try {
            const qint64 pid = browserPid(*c);
            if (front && front->pid > 0 && pid > 0 && pid != front->pid) {
                otherBrowser = true;
                continue;
            }
            bool windowMismatch = false;
            std::optional<BrowserTab> tab = frontTabOf(*c, front, &windowMismatch);
            if (windowMismatch) {
                otherBrowser = true;
                continue;
            }
            if (!tab) {
                noVisibleTab = true;
                continue;
            }
            tab->browser = browser ? browser : c->folderBrowser;
            tab->browserName = tab->browser ? displayName(*tab->browser) : QString();
            tab->browserPid = pid;
            nameForErrors_ = tab->browserName;
            tabSession_ = sessionFor(*c, tab->targetId);
            connection_ = c;
            tab_ = tab;
            break;
        } catch (const BrowserCaptureError&) {
            continue; // a connection that failed mid-way was dropped; try the next endpoint
        }
    }
    const QString name = nameForErrors_;
    if (!tab_) {
        if (otherBrowser)
            throw BrowserCaptureError(BrowserCaptureError::Kind::otherBrowserAnswered, {}, name);
        if (noVisibleTab)
            throw BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost, {}, name);
        Q_UNUSED(anyConnection);
        throw BrowserCaptureError(BrowserCaptureError::Kind::debuggingUnavailable, {}, name);
    }
    if (!isNormalWebPageUrl(tab_->url)) {
        const QString url = tab_->url;
        throw BrowserCaptureError(BrowserCaptureError::Kind::notAWebPage, url, name);
    }
    return *tab_;
}

QJsonObject DevToolsBridge::callPage(const QString& method, const QJsonObject& params, int timeoutMs) {
    if (!tab_)
        selectFrontTab(std::nullopt, std::nullopt);
    if (busy_)
        throw BrowserCaptureError::automationFailed(QStringLiteral("別のブラウザ操作を実行中です。"));
    BusyGuard guard(busy_);
    if (!connection_)
        throw BrowserCaptureError(BrowserCaptureError::Kind::debuggingUnavailable, {}, nameForErrors_);
    return send(*connection_, method, params, tabSession_, timeoutMs);
}

QString DevToolsBridge::runJavaScript(const QString& javaScript) {
    if (!tab_)
        selectFrontTab(std::nullopt, std::nullopt);
    if (busy_)
        throw BrowserCaptureError::automationFailed(QStringLiteral("別のブラウザ操作を実行中です。"));
    BusyGuard guard(busy_);
    if (!connection_)
        throw BrowserCaptureError(BrowserCaptureError::Kind::debuggingUnavailable, {}, nameForErrors_);
    return evaluateIn(*connection_, tabSession_, browser_scripts::singleLineJavaScript(javaScript));
}

} // namespace lumivane
