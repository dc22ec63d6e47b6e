#pragma once
#include "ScriptedSession.h"

#include <QMap>
#include <QProcessEnvironment>
#include <QString>

namespace lumivane::test {

// A private headless KWin session for one test process, stood up by
// tests/support/kwin-session.sh: one output of the given logical size and scale,
// software rendering, no animations, its own session bus. It stops with this
// object, or by itself when the process dies.
//
// KWin authorises callers of org.kde.KWin.ScreenShot2 from desktop entries in
// prefix() + "/share/applications"; installEntry() puts one there and makes KWin
// read it (a desktop rebuilds KDE's service cache when applications are installed;
// here kbuildsycoca5 does).
class KWinSession : public ScriptedSession {
public:
    // The variables: WAYLAND_DISPLAY, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS,
    // XDG_DATA_DIRS, XDG_SESSION_TYPE, XDG_CURRENT_DESKTOP; DISPLAY hidden.
    explicit KWinSession(double scale = 1.0, const QString& size = QStringLiteral("1920x1080"));
    ~KWinSession();

    // The install prefix on KWin's XDG_DATA_DIRS.
    QString prefix() const { return prefix_; }
    // A desktop entry authorising executable for ScreenShot2, then the service cache
    // rebuilt. False with errorText() on failure.
    bool installEntry(const QString& fileName, const QString& executable);
    // Rebuilds KDE's service cache from prefix() and the system's entries.
    bool refreshServices();

private:
    QString prefix_;
};

KWinSession* sharedKWin();
void setSharedKWin(KWinSession* session);

} // namespace lumivane::test
