#pragma once
#include "browser/BrowserCaptureEnvironment.h"
#include "browser/DevToolsDiscovery.h"
#include "browser/SupportedBrowser.h"

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QRect>
#include <QStringList>
#include <QWebSocket>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

// The tab a capture works on.
struct BrowserTab {
    std::optional<SupportedBrowser> browser; // the browser in front, else the endpoint's folder
    QString browserName;                     // as the user knows it ("Chromium"), or empty
    QString targetId;
    QString url;
    qint64 browserPid = 0;
    QRect windowBounds; // the tab's browser window as the browser reports it (screen pixels)
};

// Talks to a Chromium-family browser through its DevTools protocol endpoint: one
// WebSocket per browser (the browser-wide endpoint, which is all that the
// chrome://inspect switch offers), page sessions attached over it.
//
// Endpoints: DevToolsActivePort in the browser's normal profile folders, then the fixed
// port (its /json/version names the browser endpoint). Only 127.0.0.1 is contacted.
// Connections are kept per endpoint; every selection checks again, through the
// browser's process id and window bounds, that the endpoint belongs to the window in
// front, so one endpoint never serves another browser.
//
// Thread: the thread that created the bridge, only. Calls wait in local event loops
// that always end (per-call time-out); a call made while another waits is refused.
class DevToolsBridge {
public:
    static constexpr quint16 defaultFallbackPort = 9222;
    struct Options {
        // Profile folders to search for every browser; empty means devToolsProfileFolders()
        // below configHome and homeFolder.
        QStringList profileFolders;
        QString configHome; // empty: the user's configuration folder (~/.config)
        QString homeFolder; // empty: the user's home folder
        // The port tried after the profile folders; 0: none.
        quint16 fallbackPort = defaultFallbackPort;
        int timeoutMs = 4000;
    };

    DevToolsBridge();
    explicit DevToolsBridge(Options options);
    ~DevToolsBridge();
    DevToolsBridge(const DevToolsBridge&) = delete;
    DevToolsBridge& operator=(const DevToolsBridge&) = delete;

    // Connects to the endpoint of the browser in front and selects the tab its front
    // window shows. browser: the browser recognised in front, none where the desktop
    // cannot say (every known endpoint is tried then). front: the front window, none
    // where the desktop has no window geometry (then the focused visible tab is taken).
    // Throws BrowserCaptureError: debuggingUnavailable, otherBrowserAnswered,
    // browserNotFrontmost (no visible tab), notAWebPage.
    BrowserTab selectFrontTab(std::optional<SupportedBrowser> browser, const std::optional<FrontmostWindowInfo>& front);
    std::optional<BrowserTab> selectedTab() const { return tab_; }

    // Runs JavaScript in the selected tab (selecting the focused visible tab of any
    // endpoint first when none is selected) and returns its result as text; promises are
    // awaited. Errors: BrowserCaptureError automationFailed.
    QString runJavaScript(const QString& javaScript);
    // One protocol command to the selected tab's session; its "result".
    QJsonObject callPage(const QString& method, const QJsonObject& params = {}, int timeoutMs = 0);

    // The port of the endpoint last used (0 before).
    quint16 port() const { return connection_ ? connection_->port : 0; }

private:
    struct Endpoint {
        quint16 port = 0;
        QString path;
        std::optional<SupportedBrowser> folderBrowser;
    };
    struct Connection {
        quint16 port = 0;
        QString path;
        std::optional<SupportedBrowser> folderBrowser;
        std::unique_ptr<QWebSocket> socket;
        qint64 pid = -1;                     // -1: not asked yet, 0: unknown
        std::map<QString, QString> sessions; // target id -> session id
    };
    struct Candidate {
        QString targetId;
        QString url;
        QRect bounds;
        int windowId = 0;
    };

    std::vector<Endpoint> endpoints(std::optional<SupportedBrowser> browser);
    Connection* connect(const Endpoint& endpoint);
    std::optional<QByteArray> httpGet(quint16 port, const QString& path, int timeoutMs);
    bool openSocket(QWebSocket& socket, quint16 port, const QString& path);
    QJsonObject send(Connection& c, const QString& method, const QJsonObject& params, const QString& sessionId,
                     int timeoutMs);
    qint64 browserPid(Connection& c);
    QString sessionFor(Connection& c, const QString& targetId);
    QString evaluateIn(Connection& c, const QString& sessionId, const QString& expression);
    std::optional<BrowserTab> frontTabOf(Connection& c, const std::optional<FrontmostWindowInfo>& front,
                                         bool* windowMismatch);
    void drop(Connection* c);

    Options options_;
    QNetworkAccessManager network_;
    std::vector<std::unique_ptr<Connection>> connections_;
    Connection* connection_ = nullptr; // of the selected tab
    std::optional<BrowserTab> tab_;
    QString tabSession_;
    QString nameForErrors_;
    int nextId_ = 1;
    bool busy_ = false;
};

} // namespace lumivane
