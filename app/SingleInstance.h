#pragma once
#include "app/CaptureOutcome.h"
#include "platform/ApplicationId.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QLocalServer;
class QLockFile;

namespace lumivane {

inline constexpr char instanceObjectPath[] = "/io/github/lumivane/Lumivane";
inline constexpr char instanceInterface[] = "io.github.lumivane.Lumivane";

// The answer to one request: accepted, or refused with a reason. A capture request
// is answered when its capture has ended: shown, failed (with the text the
// application shows) or cancelled by the user.
struct InstanceAnswer {
    enum class Status { ok, refused, captureFailed, cancelled };
    Status status = Status::ok;
    QString text;

    static InstanceAnswer of(const std::optional<QString>& refusal) {
        return refusal ? InstanceAnswer{Status::refused, *refusal} : InstanceAnswer{};
    }
    static InstanceAnswer of(const CaptureOutcome& outcome);
};
// (An accepted capture's text, when it read one, is in `text` too.)
using InstanceAnswerHandler = std::function<void(const InstanceAnswer&)>;

// What other processes may ask of the running application. Every method runs on
// the UI thread. An error text means the instance refused; nothing means accepted.
// The capture methods call `done` once, when the capture has ended.
class InstanceCommands {
public:
    virtual ~InstanceCommands() = default;
    virtual void captureFullScreen(CaptureCompletion done) = 0;
    virtual void captureArea(CaptureCompletion done) = 0;
    virtual void captureBrowserPage(CaptureCompletion done) = 0;
    // An area whose text is read; `done` hears the text (CaptureOutcome::read).
    // By value, as every override takes it.
    virtual void captureAreaText(CaptureCompletion done) { // NOLINT(performance-unnecessary-value-param)
        done(CaptureOutcome::failed(QStringLiteral("reading text is not offered here")));
    }
    virtual void captureWindow(CaptureCompletion done) = 0;
    virtual void captureLastArea(CaptureCompletion done) = 0;
    virtual std::optional<QString> openEditor() = 0;
    virtual std::optional<QString> openProject(const QString& path) = 0;
    virtual std::optional<QString> editImage(const QString& path) = 0;
    // `mode` is "full" or "area"; `done` hears cancelled when the countdown is cancelled.
    virtual void captureAfterDelay(const QString& mode, int seconds, CaptureCompletion done) = 0;
    virtual std::optional<QString> pinImage(const QString& path) = 0;
    virtual std::optional<QString> showSettings() = 0;
    virtual std::optional<QString> quit() = 0;
};

// Method names shared by the bus interface and the local socket.
namespace instance_method {
inline constexpr char captureFullScreen[] = "CaptureFullScreen";
inline constexpr char captureArea[] = "CaptureArea";
inline constexpr char captureBrowserPage[] = "CaptureBrowserPage";
inline constexpr char captureAreaText[] = "CaptureAreaText";
inline constexpr char captureWindow[] = "CaptureWindow";
inline constexpr char captureLastArea[] = "CaptureLastArea";
inline constexpr char openEditor[] = "OpenEditor";
inline constexpr char openProject[] = "OpenProject";
inline constexpr char editImage[] = "EditImage";
inline constexpr char captureAfterDelay[] = "CaptureAfterDelay"; // argument "MODE SECONDS": "full 5", "last 3"
inline constexpr char pinImage[] = "PinImage";
inline constexpr char showSettings[] = "ShowSettings";
inline constexpr char quit[] = "Quit";
} // namespace instance_method

// The captures that can wait for a countdown: "full", "area", "window" and "last".
bool isDelayedCaptureMode(const QString& mode);

// A path in a request: D-Bus and JSON strings must be Unicode, so a path travels as a
// file: URL whose percent-encoded bytes carry any file name. A plain absolute path is
// also taken, as it is.
QString pathRequestArgument(const QString& path);
QString pathFromRequestArgument(const QString& argument);

// Runs one named request against the commands and answers it, at once or (captures)
// when the capture has ended; unknown names are refused.
void dispatchInstanceRequest(InstanceCommands& commands, const QString& method, const QString& argument,
                             const InstanceAnswerHandler& answer);
// Whether a request waits for a capture's outcome (no time limit on its answer).
bool isCaptureRequest(const QString& method);

// Folder of the local socket and its lock: $XDG_RUNTIME_DIR, else Qt's runtime folder.
QString instanceRuntimeDirectory();
QString instanceSocketPath();

// Makes this process the one running application, or finds that another is.
// With a session bus the bus name decides (the request is atomic, so of two
// starts at the same moment exactly one wins); the owner also answers on the
// local socket when it can take its lock, so processes without the bus reach it.
// Without a session bus the lock file next to the socket decides.
// UI thread; `commands` must outlive the server.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    enum class Claim { owner, anotherInstanceRuns, failed };

    explicit InstanceServer(InstanceCommands& commands, QObject* parent = nullptr);
    ~InstanceServer() override;

    Claim claim();
    bool ownsBusName() const { return ownsBusName_; }
    bool listensOnSocket() const;
    QString errorText() const { return error_; }

private:
    bool listenOnSocket();
    void serveConnection();

    InstanceCommands& commands_;
    QObject* busObject_ = nullptr;
    bool ownsBusName_ = false;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* socket_ = nullptr;
    QString error_;
};

// The sending side: reaches the running application over the session bus, else
// over the local socket. Needs a QCoreApplication; blocks the calling thread. A
// capture request waits as long as its capture takes; the others up to timeoutMs.
struct InstanceReply {
    bool reached = false; // no instance answered
    InstanceAnswer answer;
    // The instance refused, or the capture failed: the reason.
    std::optional<QString> error() const {
        if (answer.status == InstanceAnswer::Status::ok || answer.status == InstanceAnswer::Status::cancelled)
            return std::nullopt;
        return answer.text;
    }
};
InstanceReply sendToRunningInstance(const QString& method, const QString& argument = {}, int timeoutMs = 25000);
bool isInstanceRunning();

} // namespace lumivane
