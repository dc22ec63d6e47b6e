#pragma once
#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace lumivane::test {

// A private desktop session stood up by one of the session scripts in
// tests/support: "SCRIPT start ARGS..." prints the session's variables as
// KEY=VALUE lines (exit code 3: this machine cannot run one), "SCRIPT stop DIR"
// ends it. The session stops with this object, or by itself when the process dies.
class ScriptedSession {
public:
    ScriptedSession(const ScriptedSession&) = delete;
    ScriptedSession& operator=(const ScriptedSession&) = delete;

    bool isRunning() const { return running_; }
    // True when this machine cannot run the session at all (not root, packages
    // missing), as opposed to a session that failed to start.
    bool isUnavailable() const { return unavailable_; }
    QString errorText() const { return error_; }
    // Seconds the start took.
    double startSeconds() const { return startSeconds_; }

    QMap<QString, QString> environment() const { return env_; }
    QString value(const QString& key) const { return env_.value(key); }
    // The system environment with the session's variables on top.
    QProcessEnvironment processEnvironment() const;
    // Puts the session's variables into this process's environment; call before
    // QApplication (or any D-Bus connection) exists.
    void exportToProcess() const;

    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
        bool ok() const { return exitCode == 0; }
    };
    // Runs a client in the session and waits for it, delivering this process's
    // events meanwhile.
    Result run(const QString& program, const QStringList& args, int timeoutMs = 10000) const;

protected:
    explicit ScriptedSession(const QString& script) : script_(script) {}
    ~ScriptedSession();
    // Runs the start; the printed variable sessionKey names the session's folder
    // (taken out of the variables). False with errorText() on failure.
    bool start(const QStringList& args, const QString& sessionKey, int timeoutMs);
    // The session came up without what the tests need.
    void fail(const QString& error) {
        running_ = false;
        error_ = error;
    }
    void setErrorText(const QString& error) { error_ = error; }
    // "SCRIPT command DIR", for scripts with more commands than start and stop.
    bool runScript(const QString& command, int timeoutMs);
    // Variables of this process the session's clients must not see.
    QStringList hidden_;
    QMap<QString, QString> env_;

private:
    QString scriptName() const;
    QString script_;
    QString dir_;
    QString error_;
    bool running_ = false;
    bool unavailable_ = false;
    double startSeconds_ = 0;
};

} // namespace lumivane::test
