#pragma once
#include "ScriptedSession.h"

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace lumivane::test {

// A private headless GNOME 43 Wayland desktop for one test process, stood up by
// tests/support/gnome-session.sh: gnome-shell with one virtual monitor, its own
// session bus, HOME (with Pictures) and GSettings store, and the GNOME screenshot
// portal. It takes 4 to 10 s to start: one per test executable. The session stops
// itself if this process dies without stopping it.
class GnomeSession : public ScriptedSession {
public:
    explicit GnomeSession(const QString& size = QStringLiteral("1920x1080"));
    ~GnomeSession();

    QString picturesFolder() const { return value(QStringLiteral("HOME")) + QStringLiteral("/Pictures"); }
    // GNOME's clients start slower than sway's.
    Result run(const QString& program, const QStringList& args, int timeoutMs = 15000) const {
        return ScriptedSession::run(program, args, timeoutMs);
    }

    // The portal's screenshot answer for unsandboxed applications: "yes", "no", or
    // empty to remove it (the next screenshot asks).
    bool setScreenshotPermission(const QString& answer) const;
    // `gsettings get SCHEMA[:PATH] KEY`, trimmed; empty on failure.
    QString gsettingsGet(const QString& schema, const QString& key) const;
    bool gsettingsSet(const QString& schema, const QString& key, const QString& value) const;
};

// The session the GNOME test main started, or null.
GnomeSession* sharedGnome();
void setSharedGnome(GnomeSession* session);

} // namespace lumivane::test
