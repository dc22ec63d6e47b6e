#pragma once
#include "browser/BrowserCaptureEnvironment.h"
#include "browser/DevToolsBridge.h"

#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane::test {

// openbox on the test process's Xvfb, so that windows are activated, stacked and
// focused as on a desktop. Started once per process.
bool ensureWindowManager();

// A headed Chromium on the test process's Xvfb (with the window manager) with a fresh
// profile and a private DevTools port; pages are local files.
class ChromiumSession {
public:
    static constexpr int windowWidth = 1000;
    static constexpr int windowHeight = 800;

    explicit ChromiumSession(QRect window = QRect(0, 0, windowWidth, windowHeight));
    ~ChromiumSession();
    bool isRunning() const { return port_ != 0; }
    QString errorText() const { return error_; }
    quint16 port() const { return port_; }
    QString profileDir() const { return profile_.path(); }
    qint64 pid() const { return process_.processId(); }

    // Writes html into a file and returns its file:// address.
    QString writePage(const QString& name, const QString& html);
    // Shows url in the first window's tab and waits until it has loaded and painted.
    bool openPage(const QString& url);
    // Opens url in a new browser window at bounds (screen pixels); its target id.
    QString openWindow(const QString& url, QRect bounds);
    // The browser's visible top-level X windows and their frames.
    std::vector<std::pair<quint32, QRect>> windows() const;
    // Activates the browser window lying at frame's top-left corner through the window manager.
    bool activateWindowAt(QPoint topLeft);
    // Runs JavaScript in the tab of target (the first window's tab when empty).
    QString js(const QString& script, const QString& target = {});

    DevToolsBridge::Options bridgeOptions(int timeoutMs = 4000) const;

private:
    QJsonObject call(const QString& method, const QJsonObject& params, const QString& session = {});
    QString sessionFor(const QString& target);
    QTemporaryDir profile_;
    QTemporaryDir pages_;
    QProcess process_;
    quint16 port_ = 0;
    QString firstTarget_;
    std::unique_ptr<class QWebSocket> socket_;
    std::map<QString, QString> sessions_;
    int nextId_ = 1;
    QString error_;
};

// Waits in a local event loop until done() holds or the time is up.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Fixture base: one Chromium for the suite, its window in front before each case
// (skipped where Chromium cannot run).
class ChromiumSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session = new ChromiumSession(); }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }
    void SetUp() override {
        if (!session->isRunning())
            GTEST_SKIP() << session->errorText().toStdString();
        ASSERT_TRUE(session->activateWindowAt({0, 0}));
    }
    bool ready() const { return !IsSkipped() && !HasFatalFailure(); }
    void open(const QString& name, const QString& html) {
        ASSERT_TRUE(session->openPage(session->writePage(name, html))) << name.toStdString();
    }

    static inline ChromiumSession* session = nullptr;
};

} // namespace lumivane::test
