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

namespace lumivane {

namespace {

BrowserCaptureError noAnswer(SupportedBrowser browser) {
    return BrowserCaptureError::automationFailed(displayName(browser) +
                                                 QStringLiteral(" から応答を取得できませんでした。"));
}

// Keeps only the path (and query) of an address the browser handed out.
QString pathOf(const QString& address) {
    const QUrl url(address);
    QString path = url.path(QUrl::FullyEncoded);
    if (url.hasQuery()) path += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    return path;
}

struct BusyGuard {
    bool& flag;
    explicit BusyGuard(bool& f) : flag(f) { flag = true; }
    ~BusyGuard() { flag = false; }
};

} // namespace

std::optional<DevToolsActivePort> DevToolsActivePort::parse(const QByteArray& fileContents) {
    const QList<QByteArray> lines = fileContents.split('\n');
    if (lines.isEmpty()) return std::nullopt;
    bool ok = false;
    const uint port = lines[0].trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535) return std::nullopt;
    DevToolsActivePort result;
    result.port = static_cast<quint16>(port);
    if (lines.size() > 1) result.browserPath = QString::fromUtf8(lines[1].trimmed());
    return result;
}

QStringList devToolsProfileFolders(SupportedBrowser browser, const QString& configHome) {
    static const QStringList chrome = {"google-chrome", "google-chrome-beta", "google-chrome-unstable",
                                       "chromium", "chromium-beta", "chromium-unstable"};
    static const QStringList brave = {"BraveSoftware/Brave-Browser", "BraveSoftware/Brave-Browser-Beta",
                                      "BraveSoftware/Brave-Browser-Nightly",
                                      "BraveSoftware/Brave-Browser-beta",
                                      "BraveSoftware/Brave-Browser-unstable"};
    QStringList out;
    for (const QString& name : browser == SupportedBrowser::googleChrome ? chrome : brave)
        out << QDir(configHome).filePath(name);
    return out;
}

bool isNormalWebPageUrl(const QString& url) {
    const QString scheme = QUrl(url).scheme().toLower();
    return scheme == "http" || scheme == "https" || scheme == "file";
}

DevToolsBridge::DevToolsBridge() : DevToolsBridge(Options{}) {}

DevToolsBridge::DevToolsBridge(Options options) : options_(std::move(options)) {
    network_.setProxy(QNetworkProxy::NoProxy);
}

DevToolsBridge::~DevToolsBridge() = default;

std::optional<QByteArray> DevToolsBridge::httpGet(quint16 port, const QString& path, int timeoutMs,
                                                  QString* error) {
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = network_.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 100, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();
    std::optional<QByteArray> body;
    if (!reply->isFinished()) {
        if (error) *error = QStringLiteral("timeout");
        reply->abort();
    } else if (reply->error() != QNetworkReply::NoError) {
        if (error) *error = reply->errorString();
    } else {
        body = reply->readAll();
    }
    reply->deleteLater();
    return body;
}

std::optional<quint16> DevToolsBridge::discoverPort(SupportedBrowser browser) {
    QStringList folders = options_.profileFolders;
    if (folders.isEmpty()) {
        QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (configHome.isEmpty()) configHome = QDir::home().filePath(".config");
        folders = devToolsProfileFolders(browser, configHome);
    }
    QList<quint16> ports;
    for (const QString& folder : folders) {
        QFile file(QDir(folder).filePath("DevToolsActivePort"));
        if (!file.open(QIODevice::ReadOnly)) continue;
        if (auto active = DevToolsActivePort::parse(file.read(4096)); active && !ports.contains(active->port))
            ports << active->port;
    }
    if (options_.fallbackPort != 0 && !ports.contains(options_.fallbackPort)) ports << options_.fallbackPort;
    for (quint16 port : ports)
        if (httpGet(port, "/json/version", std::min(options_.timeoutMs, 1500), nullptr)) return port;
    return std::nullopt;
}

std::vector<DevToolsBridge::Target> DevToolsBridge::pageTargets(SupportedBrowser browser) {
    QString error;
    std::optional<QByteArray> body =
        port_ ? httpGet(port_, "/json/list", options_.timeoutMs, &error) : std::nullopt;
    if (!body) {
        // The browser may have restarted on another port.
        socket_.reset();
        const auto port = discoverPort(browser);
        if (!port) {
            port_ = 0;
            throw BrowserCaptureError::automationFailed(
                QStringLiteral("%1 の DevTools に接続できませんでした (127.0.0.1:%2)。"
                               "ブラウザを --remote-debugging-port=%2 を付けて起動してください。")
                    .arg(displayName(browser))
                    .arg(options_.fallbackPort));
        }
        port_ = *port;
        body = httpGet(port_, "/json/list", options_.timeoutMs, &error);
        if (!body) throw noAnswer(browser);
    }
    const QJsonDocument doc = QJsonDocument::fromJson(*body);
    if (!doc.isArray()) throw noAnswer(browser);
    std::vector<Target> targets;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        if (o.value("type").toString() != QLatin1String("page")) continue;
        const QString ws = o.value("webSocketDebuggerUrl").toString();
        if (ws.isEmpty()) continue;
        targets.push_back({o.value("id").toString(), o.value("url").toString(), pathOf(ws)});
    }
    return targets;
}

bool DevToolsBridge::openSocket(QWebSocket& socket, const QString& path, QString* error) {
    socket.setProxy(QNetworkProxy::NoProxy);
    QEventLoop loop;
    bool failed = false;
    auto c1 = QObject::connect(&socket, &QWebSocket::connected, &loop, &QEventLoop::quit);
    auto c2 = QObject::connect(&socket, &QWebSocket::disconnected, &loop, [&] { failed = true; loop.quit(); });
    auto c3 = QObject::connect(&socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), &loop, [&] { failed = true; loop.quit(); });
    QTimer::singleShot(options_.timeoutMs, &loop, &QEventLoop::quit);
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(port_).arg(path)));
    loop.exec();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    QObject::disconnect(c3);
    if (failed || socket.state() != QAbstractSocket::ConnectedState) {
        if (error) *error = socket.errorString();
        socket.abort();
        return false;
    }
    return true;
}

QJsonObject DevToolsBridge::send(QWebSocket& socket, const QString& method, const QJsonObject& params,
                                 SupportedBrowser browser) {
    const int id = nextId_++;
    std::optional<QJsonObject> answer;
    QEventLoop loop;
    auto c1 = QObject::connect(&socket, &QWebSocket::textMessageReceived, &loop, [&](const QString& text) {
        const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
        if (o.value("id").toInt(-1) == id) {
            answer = o;
            loop.quit();
        }
    });
    auto c2 = QObject::connect(&socket, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(options_.timeoutMs, &loop, &QEventLoop::quit);
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    loop.exec();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    if (!answer) {
        // Late answers must not be mistaken for a later call's: drop the connection.
        if (&socket == socket_.get()) socket_.reset();
        throw noAnswer(browser);
    }
    if (answer->contains("error")) {
        const QString text = answer->value("error").toObject().value("message").toString().trimmed();
        throw BrowserCaptureError::automationFailed(text.isEmpty() ? QStringLiteral("不明な DevTools エラーです。")
                                                                   : text);
    }
    return answer->value("result").toObject();
}

QString DevToolsBridge::evaluate(QWebSocket& socket, const QString& expression, SupportedBrowser browser) {
    const QJsonObject result = send(socket, "Runtime.evaluate",
                                    {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}},
                                    browser);
    if (result.contains("exceptionDetails")) {
        const QJsonObject details = result.value("exceptionDetails").toObject();
        QString text = details.value("exception").toObject().value("description").toString();
        if (text.isEmpty()) text = details.value("text").toString();
        text = text.section(QLatin1Char('\n'), 0, 0).trimmed();
        throw BrowserCaptureError::automationFailed(text.isEmpty() ? QStringLiteral("不明な JavaScript エラーです。")
                                                                   : text);
    }
    const QJsonObject value = result.value("result").toObject();
    const QString type = value.value("type").toString();
    if (type == QLatin1String("string")) return value.value("value").toString();
    if (type == QLatin1String("number")) return QString::number(value.value("value").toDouble(), 'g', 17);
    if (type == QLatin1String("boolean")) return value.value("value").toBool() ? "true" : "false";
    throw noAnswer(browser);
}

void DevToolsBridge::connectToActiveTab(SupportedBrowser browser) {
    const std::vector<Target> targets = pageTargets(browser);
    if (targets.empty())
        throw BrowserCaptureError::automationFailed(QStringLiteral("No browser window is open"));
    const bool keep = socket_ && socket_->state() == QAbstractSocket::ConnectedState &&
                      targets.front().id == socketTargetId_;
    if (!keep) {
        socket_.reset();
        socketTargetId_.clear();
        QString lastError;
        for (size_t i = 0; i < targets.size() && i < 16 && !socket_; ++i) {
            auto socket = std::make_unique<QWebSocket>();
            if (!openSocket(*socket, targets[i].webSocketPath, &lastError)) continue;
            QString state;
            try {
                state = evaluate(*socket, "document.visibilityState", browser);
            } catch (const BrowserCaptureError&) {
                continue;
            }
            if (state == QLatin1String("visible")) {
                socket_ = std::move(socket);
                socketTargetId_ = targets[i].id;
            }
        }
        if (!socket_) {
            if (!lastError.isEmpty())
                throw BrowserCaptureError::automationFailed(displayName(browser) + QStringLiteral(" のタブに接続できませんでした: ") + lastError);
            throw BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost);
        }
    }
    for (const Target& t : targets)
        if (t.id == socketTargetId_ && !isNormalWebPageUrl(t.url))
            throw BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost);
}

QString DevToolsBridge::runJavaScript(const QString& javaScript, SupportedBrowser browser) {
    if (busy_) throw BrowserCaptureError::automationFailed(QStringLiteral("別のブラウザ操作を実行中です。"));
    BusyGuard guard(busy_);
    connectToActiveTab(browser);
    return evaluate(*socket_, browser_scripts::singleLineJavaScript(javaScript), browser);
}

QJsonObject DevToolsBridge::call(const QString& method, const QJsonObject& params, SupportedBrowser browser) {
    if (busy_) throw BrowserCaptureError::automationFailed(QStringLiteral("別のブラウザ操作を実行中です。"));
    BusyGuard guard(busy_);
    connectToActiveTab(browser);
    return send(*socket_, method, params, browser);
}

} // namespace lumivane
