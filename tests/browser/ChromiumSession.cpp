#include "ChromiumSession.h"
#include "X11TestWindows.h"

#include "browser/BrowserCaptureError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>

namespace lumivane::test {

ChromiumSession::ChromiumSession() {
    const QStringList args = {
        "--user-data-dir=" + profile_.path(), "--remote-debugging-port=0", "--no-sandbox", "--disable-gpu",
        "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
        "--disable-quic", "--disable-default-apps", "--no-default-browser-check", "--disable-translate",
        "--hide-scrollbars", "--window-position=0,0",
        QStringLiteral("--window-size=%1,%2").arg(windowWidth).arg(windowHeight), "about:blank"};
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start("/usr/bin/chromium", args);
    if (!process_.waitForStarted(10000)) {
        error_ = "cannot start chromium: " + process_.errorString();
        return;
    }
    const QDeadlineTimer deadline(30000);
    QFile file(QDir(profile_.path()).filePath("DevToolsActivePort"));
    while (!deadline.hasExpired()) {
        if (file.open(QIODevice::ReadOnly)) {
            if (auto active = DevToolsActivePort::parse(file.readAll())) {
                port_ = active->port;
                break;
            }
            file.close();
        }
        QThread::msleep(100);
    }
    if (!port_) error_ = "chromium did not write DevToolsActivePort";
}

ChromiumSession::~ChromiumSession() {
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

QByteArray ChromiumSession::request(const QByteArray& verb, const QString& path) {
    QNetworkAccessManager nam;
    nam.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest req(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path)));
    QNetworkReply* reply = nam.sendCustomRequest(req, verb);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

QString ChromiumSession::writePage(const QString& name, const QString& html) {
    const QString path = QDir(pages_.path()).filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(html.toUtf8());
    return QUrl::fromLocalFile(path).toString();
}

bool ChromiumSession::openPage(const QString& url, DevToolsBridge& bridge) {
    const QJsonObject tab = QJsonDocument::fromJson(request("PUT", "/json/new?" + url)).object();
    if (tab.isEmpty()) return false;
    if (!currentTab_.isEmpty()) request("GET", "/json/close/" + currentTab_);
    currentTab_ = tab.value("id").toString();
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        try {
            if (bridge.runJavaScript("document.readyState", SupportedBrowser::googleChrome) == "complete" &&
                bridge.runJavaScript("location.href", SupportedBrowser::googleChrome) == url) {
                waitProcessingEvents(std::chrono::milliseconds(400)); // first paint
                return true;
            }
        } catch (const BrowserCaptureError&) {
        }
        waitProcessingEvents(std::chrono::milliseconds(100));
    }
    return false;
}

std::optional<FrontmostWindowInfo> XvfbBrowserEnvironment::frontmostWindow() {
    const auto window = findChromiumWindowOnce();
    if (!window) return std::nullopt;
    return FrontmostWindowInfo{"chromium", pid_, QRectF(window->geometry)};
}

ImageRef XvfbBrowserEnvironment::captureRect(const QRectF& rect) {
    if (beforeCapture) beforeCapture();
    ++captureCount;
    lastCaptureRect = rect;
    const QRect r = rect.toAlignedRect();
    return makeImage(QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage());
}

} // namespace lumivane::test
