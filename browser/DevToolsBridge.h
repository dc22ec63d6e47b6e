#pragma once
#include "browser/BrowserScriptRunner.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QStringList>
#include <QWebSocket>
#include <memory>
#include <optional>

namespace lumivane {

// Contents of a browser profile's DevToolsActivePort file.
struct DevToolsActivePort {
    quint16 port = 0;
    QString browserPath; // e.g. "/devtools/browser/<id>"
    static std::optional<DevToolsActivePort> parse(const QByteArray& fileContents);
};

// Profile folders searched for DevToolsActivePort, most likely first, below configHome
// (normally ~/.config). Chromium's folder is searched for Google Chrome.
QStringList devToolsProfileFolders(SupportedBrowser browser, const QString& configHome);

// True for pages that can be captured: http, https and file documents.
bool isNormalWebPageUrl(const QString& url);

// Runs scripts in the active tab through the Chromium DevTools protocol.
//
// Only 127.0.0.1 is ever contacted: the port comes from DevToolsActivePort in the
// browser's profile folders, else 9222, and the host of every address the browser
// hands out is replaced by 127.0.0.1.
//
// The active tab is the first "page" target of /json/list (the browser lists targets
// most recently active first) whose document.visibilityState is "visible"; that target
// is kept while it stays first in the list.
//
// Calls are synchronous for the caller but never block the thread: each waits in a
// local event loop that always ends, at the latest when the per-call time-out fires.
// While it waits, other events are delivered; a nested call on the same bridge is
// refused instead of waiting for the outer one.
class DevToolsBridge : public BrowserScriptRunner {
public:
    struct Options {
        // Profile folders to search; empty means devToolsProfileFolders() below ~/.config.
        QStringList profileFolders;
        quint16 fallbackPort = 9222;
        int timeoutMs = 4000;
    };

    DevToolsBridge();
    explicit DevToolsBridge(Options options);
    ~DevToolsBridge() override;

    QString runJavaScript(const QString& javaScript, SupportedBrowser browser) override;

    // Sends one protocol command to the active tab and returns its "result" object.
    QJsonObject call(const QString& method, const QJsonObject& params, SupportedBrowser browser);

    // The port in use after the last successful call (0 before).
    quint16 port() const { return port_; }

private:
    struct Target {
        QString id;
        QString url;
        QString webSocketPath;
    };

    void connectToActiveTab(SupportedBrowser browser);
    std::optional<quint16> discoverPort(SupportedBrowser browser);
    std::optional<QByteArray> httpGet(quint16 port, const QString& path, int timeoutMs, QString* error);
    std::vector<Target> pageTargets(SupportedBrowser browser);
    bool openSocket(QWebSocket& socket, const QString& path, QString* error);
    QJsonObject send(QWebSocket& socket, const QString& method, const QJsonObject& params,
                     SupportedBrowser browser);
    QString evaluate(QWebSocket& socket, const QString& expression, SupportedBrowser browser);

    Options options_;
    QNetworkAccessManager network_;
    quint16 port_ = 0;
    std::unique_ptr<QWebSocket> socket_;
    QString socketTargetId_;
    int nextId_ = 1;
    bool busy_ = false;
};

} // namespace lumivane
