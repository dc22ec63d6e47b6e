#include "app/SingleInstance.h"

#include "core/NativeFileNames.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>
#include <utility>

namespace lumivane {

namespace {

constexpr char refusedError[] = "io.github.lumivane.Lumivane.Error.Refused";
constexpr char captureFailedError[] = "io.github.lumivane.Lumivane.Error.CaptureFailed";
constexpr char cancelledError[] = "io.github.lumivane.Lumivane.Error.Cancelled";
constexpr int maxRequestBytes = 64 * 1024;
// libdbus's "no time-out" for a call.
constexpr int noTimeout = 0x7fffffff;

QString lockPath() {
    return instanceRuntimeDirectory() + QStringLiteral("/") + applicationId + QStringLiteral(".lock");
}

// Names of the answer's status on the local socket.
constexpr std::pair<InstanceAnswer::Status, const char*> statusNames[] = {
    {InstanceAnswer::Status::ok, "ok"},
    {InstanceAnswer::Status::refused, "refused"},
    {InstanceAnswer::Status::captureFailed, "captureFailed"},
    {InstanceAnswer::Status::cancelled, "cancelled"},
};

QByteArray replyLine(const InstanceAnswer& answer) {
    QJsonObject o{{QStringLiteral("ok"), answer.status == InstanceAnswer::Status::ok}};
    for (const auto& [status, name] : statusNames)
        if (status == answer.status)
            o.insert(QStringLiteral("status"), QString::fromLatin1(name));
    if (answer.status != InstanceAnswer::Status::ok)
        o.insert(QStringLiteral("error"), answer.text);
    else if (!answer.text.isEmpty())
        o.insert(QStringLiteral("text"), answer.text);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

InstanceAnswer answerFromReplyLine(const QJsonObject& reply) {
    InstanceAnswer answer;
    if (reply.value(QStringLiteral("ok")).toBool()) {
        answer.text = reply.value(QStringLiteral("text")).toString();
        return answer;
    }
    answer.status = InstanceAnswer::Status::refused;
    const QString status = reply.value(QStringLiteral("status")).toString();
    for (const auto& [s, name] : statusNames)
        if (status == QLatin1String(name) && s != InstanceAnswer::Status::ok)
            answer.status = s;
    answer.text = reply.value(QStringLiteral("error")).toString(QStringLiteral("the running Lumivane refused"));
    return answer;
}

QDBusMessage busAnswer(const QDBusMessage& request, const InstanceAnswer& answer) {
    switch (answer.status) {
    case InstanceAnswer::Status::ok:
        return answer.text.isEmpty() ? request.createReply() : request.createReply(answer.text);
    case InstanceAnswer::Status::refused:
        return request.createErrorReply(QString::fromLatin1(refusedError), answer.text);
    case InstanceAnswer::Status::captureFailed:
        return request.createErrorReply(QString::fromLatin1(captureFailedError), answer.text);
    case InstanceAnswer::Status::cancelled:
        return request.createErrorReply(QString::fromLatin1(cancelledError), answer.text);
    }
    return request.createReply();
}

} // namespace

InstanceAnswer InstanceAnswer::of(const CaptureOutcome& outcome) {
    switch (outcome.kind) {
    case CaptureOutcome::Kind::shown:
        return {Status::ok, outcome.text};
    case CaptureOutcome::Kind::failed:
        return {Status::captureFailed, outcome.message};
    case CaptureOutcome::Kind::cancelled:
        return {Status::cancelled, QStringLiteral("the capture was cancelled")};
    }
    return {};
}

// The object exported on the session bus; each method forwards to the commands and
// answers when they do (a capture: once it has ended).
class InstanceBusObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.lumivane.Lumivane")
public:
    explicit InstanceBusObject(InstanceCommands& commands, QObject* parent) : QObject(parent), commands_(commands) {}

public slots:
    void CaptureFullScreen() { run(instance_method::captureFullScreen); }
    void CaptureArea() { run(instance_method::captureArea); }
    void CaptureBrowserPage() { run(instance_method::captureBrowserPage); }
    void CaptureAreaText() { run(instance_method::captureAreaText); }
    void CaptureWindow() { run(instance_method::captureWindow); }
    void CaptureLastArea() { run(instance_method::captureLastArea); }
    void OpenEditor() { run(instance_method::openEditor); }
    void OpenProject(const QString& path) { run(instance_method::openProject, path); }
    void EditImage(const QString& path) { run(instance_method::editImage, path); }
    void CaptureAfterDelay(const QString& request) { run(instance_method::captureAfterDelay, request); }
    void PinImage(const QString& path) { run(instance_method::pinImage, path); }
    void ShowSettings() { run(instance_method::showSettings); }
    void Quit() { run(instance_method::quit); }

private:
    void run(const char* method, const QString& argument = {}) {
        setDelayedReply(true);
        dispatchInstanceRequest(commands_, QString::fromLatin1(method), argument,
                                [request = message(), bus = connection()](const InstanceAnswer& answer) {
                                    QDBusConnection(bus).send(busAnswer(request, answer));
                                });
    }
    InstanceCommands& commands_;
};

bool isDelayedCaptureMode(const QString& mode) {
    return mode == QLatin1String("full") || mode == QLatin1String("area") || mode == QLatin1String("window") ||
           mode == QLatin1String("last");
}

QString pathRequestArgument(const QString& path) {
    return fileUrlFromPath(path);
}

QString pathFromRequestArgument(const QString& argument) {
    if (!argument.startsWith(QLatin1String("file:")))
        return argument;
    return localPathFromUrl(QUrl::fromEncoded(argument.toLatin1()));
}

bool isCaptureRequest(const QString& method) {
    namespace m = instance_method;
    return method == QLatin1String(m::captureFullScreen) || method == QLatin1String(m::captureArea) ||
           method == QLatin1String(m::captureBrowserPage) || method == QLatin1String(m::captureAreaText) ||
           method == QLatin1String(m::captureWindow) || method == QLatin1String(m::captureLastArea) ||
           method == QLatin1String(m::captureAfterDelay);
}

void dispatchInstanceRequest(InstanceCommands& c, const QString& method, const QString& argument,
                             const InstanceAnswerHandler& answer) {
    namespace m = instance_method;
    auto captured = [answer](const CaptureOutcome& outcome) { answer(InstanceAnswer::of(outcome)); };
    if (method == QLatin1String(m::captureFullScreen))
        return c.captureFullScreen(captured);
    if (method == QLatin1String(m::captureArea))
        return c.captureArea(captured);
    if (method == QLatin1String(m::captureBrowserPage))
        return c.captureBrowserPage(captured);
    if (method == QLatin1String(m::captureAreaText))
        return c.captureAreaText(captured);
    if (method == QLatin1String(m::captureWindow))
        return c.captureWindow(captured);
    if (method == QLatin1String(m::captureLastArea))
        return c.captureLastArea(captured);
    if (method == QLatin1String(m::captureAfterDelay)) {
        const QStringList parts = argument.split(QLatin1Char(' '));
        bool ok = false;
        const int seconds = parts.value(1).toInt(&ok);
        if (parts.size() == 2 && ok && isDelayedCaptureMode(parts[0]))
            return c.captureAfterDelay(parts[0], seconds, captured);
        return answer(InstanceAnswer::of(QStringLiteral("malformed delayed capture '%1'").arg(argument)));
    }
    std::optional<QString> refusal = QStringLiteral("unknown request '%1'").arg(method);
    if (method == QLatin1String(m::openEditor))
        refusal = c.openEditor();
    else if (method == QLatin1String(m::openProject))
        refusal = c.openProject(pathFromRequestArgument(argument));
    else if (method == QLatin1String(m::editImage))
        refusal = c.editImage(pathFromRequestArgument(argument));
    else if (method == QLatin1String(m::pinImage))
        refusal = c.pinImage(pathFromRequestArgument(argument));
    else if (method == QLatin1String(m::showSettings))
        refusal = c.showSettings();
    else if (method == QLatin1String(m::quit))
        refusal = c.quit();
    answer(InstanceAnswer::of(refusal));
}

QString instanceRuntimeDirectory() {
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QDir(xdg).exists())
        return QDir(xdg).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString instanceSocketPath() {
    return instanceRuntimeDirectory() + QStringLiteral("/") + applicationId + QStringLiteral(".socket");
}

InstanceServer::InstanceServer(InstanceCommands& commands, QObject* parent) : QObject(parent), commands_(commands) {}

InstanceServer::~InstanceServer() {
    if (ownsBusName_)
        QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(applicationId));
    if (busObject_)
        QDBusConnection::sessionBus().unregisterObject(QString::fromLatin1(instanceObjectPath));
    if (socket_)
        socket_->close();
}

bool InstanceServer::listensOnSocket() const {
    return socket_ && socket_->isListening();
}

InstanceServer::Claim InstanceServer::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        // The object is exported before the name is taken, so a caller that sees
        // the name always finds the object; calls wait until the event loop runs.
        busObject_ = new InstanceBusObject(commands_, this);
        if (!bus.registerObject(QString::fromLatin1(instanceObjectPath), busObject_, QDBusConnection::ExportAllSlots)) {
            error_ = QStringLiteral("cannot export %1 on the session bus").arg(QString::fromLatin1(instanceObjectPath));
            return Claim::failed;
        }
        const auto reply = bus.interface()->registerService(QString::fromLatin1(applicationId),
                                                            QDBusConnectionInterface::DontQueueService,
                                                            QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid()) {
            error_ = QStringLiteral("cannot request the bus name %1: %2")
                         .arg(QString::fromLatin1(applicationId), reply.error().message());
            return Claim::failed;
        }
        if (reply.value() != QDBusConnectionInterface::ServiceRegistered)
            return Claim::anotherInstanceRuns;
        ownsBusName_ = true;
        listenOnSocket(); // best effort: the bus name already decided
        return Claim::owner;
    }
    if (listenOnSocket())
        return Claim::owner;
    if (!error_.isEmpty())
        return Claim::failed;
    return Claim::anotherInstanceRuns;
}

bool InstanceServer::listenOnSocket() {
    const QString dir = instanceRuntimeDirectory();
    if (dir.isEmpty() || !QDir().mkpath(dir)) {
        error_ = QStringLiteral("no runtime folder for the local socket (XDG_RUNTIME_DIR)");
        return false;
    }
    auto lock = std::make_unique<QLockFile>(lockPath());
    // A lock whose process has gone is taken over; age alone never makes it stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError)
            error_ = QStringLiteral("cannot create the lock file %1").arg(lockPath());
        return false;
    }
    lock_ = std::move(lock);
    // Whoever holds the lock owns the socket path; a file left by a crash goes.
    QLocalServer::removeServer(instanceSocketPath());
    socket_ = new QLocalServer(this);
    socket_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!socket_->listen(instanceSocketPath())) {
        error_ = QStringLiteral("cannot listen on %1: %2").arg(instanceSocketPath(), socket_->errorString());
        delete socket_;
        socket_ = nullptr;
        lock_.reset();
        return false;
    }
    connect(socket_, &QLocalServer::newConnection, this, &InstanceServer::serveConnection);
    return true;
}

// One request per connection: a JSON line {"method": ..., "argument": ...},
// answered by {"ok": true} or {"ok": false, "error": ...}.
void InstanceServer::serveConnection() {
    while (QLocalSocket* connection = socket_->nextPendingConnection()) {
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        QPointer<QLocalSocket> guarded(connection);
        connect(connection, &QLocalSocket::readyRead, this, [this, guarded] {
            if (!guarded)
                return;
            if (!guarded->canReadLine()) {
                if (guarded->bytesAvailable() > maxRequestBytes)
                    guarded->abort();
                return;
            }
            const QJsonObject request = QJsonDocument::fromJson(guarded->readLine(maxRequestBytes)).object();
            const QString method = request.value(QStringLiteral("method")).toString();
            const QString argument = request.value(QStringLiteral("argument")).toString();
            dispatchInstanceRequest(commands_, method, argument, [guarded](const InstanceAnswer& answer) {
                // The request may have run an event loop (a modal window) or waited for a
                // capture: the peer may be gone.
                if (!guarded)
                    return;
                guarded->write(replyLine(answer));
                guarded->disconnectFromServer();
            });
        });
    }
}

namespace {

InstanceReply refusedReply(const QString& text) {
    InstanceReply out;
    out.reached = true;
    out.answer = {InstanceAnswer::Status::refused, text};
    return out;
}

std::optional<InstanceReply> sendOverBus(const QString& method, const QString& argument, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    if (!bus.interface()->isServiceRegistered(QString::fromLatin1(applicationId)).value())
        return std::nullopt;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(applicationId), QString::fromLatin1(instanceObjectPath),
                                       QString::fromLatin1(instanceInterface), method);
    if (method == QLatin1String(instance_method::openProject) || method == QLatin1String(instance_method::editImage) ||
        method == QLatin1String(instance_method::pinImage) ||
        method == QLatin1String(instance_method::captureAfterDelay))
        call << argument;
    const QDBusMessage reply = bus.call(call, QDBus::Block, isCaptureRequest(method) ? noTimeout : timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        InstanceReply out;
        out.reached = true;
        out.answer.text = reply.arguments().value(0).toString();
        return out;
    }
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        return std::nullopt; // the owner left between the check and the call
    InstanceReply out = refusedReply(reply.errorMessage().isEmpty() ? name : reply.errorMessage());
    if (name == QLatin1String(captureFailedError))
        out.answer.status = InstanceAnswer::Status::captureFailed;
    else if (name == QLatin1String(cancelledError))
        out.answer.status = InstanceAnswer::Status::cancelled;
    else if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
        out.answer.text = QStringLiteral("the running Lumivane ended or stopped before it answered");
    return out;
}

std::optional<InstanceReply> sendOverSocket(const QString& method, const QString& argument, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    if (!socket.waitForConnected(2000))
        return std::nullopt;
    const QJsonObject request{{QStringLiteral("method"), method}, {QStringLiteral("argument"), argument}};
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    socket.flush();
    const bool waitForCapture = isCaptureRequest(method);
    QElapsedTimer clock;
    clock.start();
    while (!socket.canReadLine()) {
        const int left = waitForCapture ? -1 : timeoutMs - int(clock.elapsed());
        if ((left != -1 && left <= 0) || !socket.waitForReadyRead(left)) {
            if (socket.canReadLine())
                break;
            return refusedReply(socket.state() == QLocalSocket::ConnectedState
                                    ? QStringLiteral("the running Lumivane did not answer")
                                    : QStringLiteral("the running Lumivane ended or stopped before it answered"));
        }
    }
    InstanceReply out;
    out.reached = true;
    out.answer = answerFromReplyLine(QJsonDocument::fromJson(socket.readLine(maxRequestBytes)).object());
    return out;
}

} // namespace

InstanceReply sendToRunningInstance(const QString& method, const QString& argument, int timeoutMs) {
    if (auto r = sendOverBus(method, argument, timeoutMs))
        return *r;
    if (auto r = sendOverSocket(method, argument, timeoutMs))
        return *r;
    return {};
}

bool isInstanceRunning() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()->isServiceRegistered(QString::fromLatin1(applicationId)).value())
        return true;
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    return socket.waitForConnected(500);
}

} // namespace lumivane

#include "SingleInstance.moc"
