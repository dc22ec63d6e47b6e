#pragma once
#include <QString>
#include <QStringList>

namespace lumivane::test {

// A private Xvfb server for one test process. The server picks a free display
// number itself (-displayfd), so test processes can run in parallel.
class XvfbServer {
public:
    // extraArgs are passed to Xvfb, e.g. {"-screen", "0", "3840x2160x24", "+xinerama"}.
    explicit XvfbServer(QStringList extraArgs = {"-screen", "0", "1920x1080x24"});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return pid_ > 0 && !display_.isEmpty(); }
    // ":N"
    QString display() const { return display_; }
    QString errorText() const { return error_; }

private:
    long pid_ = -1;
    QString display_;
    QString error_;
};

// The server started by the Xvfb test main, or null in an offscreen test binary.
XvfbServer* sharedXvfb();
// The Xft.dpi the Xvfb test main gave the desktop (--xft-dpi=N), 0 when none.
int xftDpi();

} // namespace lumivane::test
