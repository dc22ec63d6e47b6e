#pragma once
#include "browser/BrowserCaptureEnvironment.h"
#include "browser/DevToolsBridge.h"

#include <QProcess>
#include <QTemporaryDir>
#include <memory>

namespace lumivane::test {

// A headful Chromium on the test process's Xvfb with a fresh profile and a private
// DevTools port; pages are local files.
class ChromiumSession {
public:
    static constexpr int windowWidth = 1000;
    static constexpr int windowHeight = 800;

    ChromiumSession();
    ~ChromiumSession();
    bool isRunning() const { return port_ != 0; }
    QString errorText() const { return error_; }
    quint16 port() const { return port_; }
    QString profileDir() const { return profile_.path(); }
    qint64 pid() const { return process_.processId(); }

    // Opens url in a new foreground tab, closing the previous one, and waits until loaded.
    bool openPage(const QString& url, DevToolsBridge& bridge);
    // Writes html into a file below the profile dir and returns its file:// address.
    QString writePage(const QString& name, const QString& html);
    DevToolsBridge::Options bridgeOptions(int timeoutMs = 4000) const;

private:
    QByteArray request(const QByteArray& verb, const QString& path);
    QTemporaryDir profile_;
    QTemporaryDir pages_;
    QProcess process_;
    quint16 port_ = 0;
    QString currentTab_;
    QString error_;
};

// Finds Chromium's top-level window with xdotool and grabs the Xvfb screen with Qt.
class XvfbBrowserEnvironment : public BrowserCaptureEnvironment {
public:
    explicit XvfbBrowserEnvironment(qint64 pid) : pid_(pid) {}
    std::optional<FrontmostWindowInfo> frontmostWindow() override;
    ImageRef captureRect(const QRectF& rect) override;
    int captureCount = 0;
    QRectF lastCaptureRect;
    // Runs before every capture (lets a test look at the page mid-capture).
    std::function<void()> beforeCapture;

private:
    qint64 pid_;
};

} // namespace lumivane::test
