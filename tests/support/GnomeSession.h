#pragma once
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
class GnomeSession {
public:
    explicit GnomeSession(const QString& size = QStringLiteral("1920x1080"));
    ~GnomeSession();
    GnomeSession(const GnomeSession&) = delete;
    GnomeSession& operator=(const GnomeSession&) = delete;

    bool isRunning() const { return !dir_.isEmpty(); }
    // This machine cannot run one (not root, packages missing).
    bool isUnavailable() const { return unavailable_; }
    QString errorText() const { return error_; }
    double startSeconds() const { return startSeconds_; }

    QString value(const QString& key) const { return env_.value(key); }
    QString picturesFolder() const { return env_.value(QStringLiteral("HOME")) + QStringLiteral("/Pictures"); }
    QProcessEnvironment processEnvironment() const;
    // Puts the session's variables (HOME included) into this process's environment;
    // call before any D-Bus connection or GSettings object exists.
    void exportToProcess() const;

    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
        bool ok() const { return exitCode == 0; }
    };
    // Runs a client in the session, delivering this process's events meanwhile.
    Result run(const QString& program, const QStringList& args, int timeoutMs = 15000) const;

    // The portal's screenshot answer for unsandboxed applications: "yes", "no", or
    // empty to remove it (the next screenshot asks).
    bool setScreenshotPermission(const QString& answer) const;
    // `gsettings get SCHEMA[:PATH] KEY`, trimmed; empty on failure.
    QString gsettingsGet(const QString& schema, const QString& key) const;
    bool gsettingsSet(const QString& schema, const QString& key, const QString& value) const;

private:
    QString dir_;
    QString error_;
    bool unavailable_ = false;
    double startSeconds_ = 0;
    QMap<QString, QString> env_;
};

// The session the GNOME test main started, or null.
GnomeSession* sharedGnome();
void setSharedGnome(GnomeSession* session);

} // namespace lumivane::test
