#include "app/SingleInstance.h"

#include "platform/NativeFileNames.h"

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

namespace lumivane {

namespace {

constexpr char refusedError[] = "io.github.lumivane.Lumivane.Error.Refused";
constexpr int maxRequestBytes = 64 * 1024;

QString lockPath() { return instanceRuntimeDirectory() + QStringLiteral("/") + applicationId + QStringLiteral(".lock"); }

QByteArray replyLine(const std::optional<QString>& error) {
    QJsonObject o{{QStringLiteral("ok"), !error.has_value()}};
    if (error) o.insert(QStringLiteral("error"), *error);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

// The object exported on the session bus; each method forwards to the commands.
class InstanceBusObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.lumivane.Lumivane")
public:
    explicit InstanceBusObject(InstanceCommands& commands, QObject* parent) : QObject(parent), commands_(commands) {}

public slots:
    void CaptureFullScreen() { answer(commands_.captureFullScreen()); }
    void CaptureArea() { answer(commands_.captureArea()); }
    void CaptureBrowserPage() { answer(commands_.captureBrowserPage()); }
    void OpenEditor() { answer(commands_.openEditor()); }
    void OpenProject(const QString& path) { answer(commands_.openProject(pathFromRequestArgument(path))); }
    void ShowSettings() { answer(commands_.showSettings()); }
    void Quit() { answer(commands_.quit()); }

private:
    void answer(const std::optional<QString>& error) {
        if (error) sendErrorReply(QString::fromLatin1(refusedError), *error);
    }
    InstanceCommands& commands_;
};

QString pathRequestArgument(const QString& path) { return fileUrlFromPath(path); }

QString pathFromRequestArgument(const QString& argument) {
    if (!argument.startsWith(QLatin1String("file:"))) return argument;
    return localPathFromUrl(QUrl::fromEncoded(argument.toLatin1()));
}

std::optional<QString> dispatchInstanceRequest(InstanceCommands& c, const QString& method, const QString& argument) {
    namespace m = instance_method;
    if (method == QLatin1String(m::captureFullScreen)) return c.captureFullScreen();
    if (method == QLatin1String(m::captureArea)) return c.captureArea();
    if (method == QLatin1String(m::captureBrowserPage)) return c.captureBrowserPage();
    if (method == QLatin1String(m::openEditor)) return c.openEditor();
    if (method == QLatin1String(m::openProject)) return c.openProject(pathFromRequestArgument(argument));
    if (method == QLatin1String(m::showSettings)) return c.showSettings();
    if (method == QLatin1String(m::quit)) return c.quit();
    return QStringLiteral("unknown request '%1'").arg(method);
}

QString instanceRuntimeDirectory() {
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QDir(xdg).exists()) return QDir(xdg).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString instanceSocketPath() {
    return instanceRuntimeDirectory() + QStringLiteral("/") + applicationId + QStringLiteral(".socket");
}

InstanceServer::InstanceServer(InstanceCommands& commands, QObject* parent) : QObject(parent), commands_(commands) {}

InstanceServer::~InstanceServer() {
    if (ownsBusName_) QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(applicationId));
    if (busObject_) QDBusConnection::sessionBus().unregisterObject(QString::fromLatin1(instanceObjectPath));
    if (socket_) socket_->close();
}

bool InstanceServer::listensOnSocket() const { return socket_ && socket_->isListening(); }

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
        if (reply.value() != QDBusConnectionInterface::ServiceRegistered) return Claim::anotherInstanceRuns;
        ownsBusName_ = true;
        listenOnSocket();   // best effort: the bus name already decided
        return Claim::owner;
    }
    if (listenOnSocket()) return Claim::owner;
    if (!error_.isEmpty()) return Claim::failed;
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
            if (!guarded) return;
            if (!guarded->canReadLine()) {
                if (guarded->bytesAvailable() > maxRequestBytes) guarded->abort();
                return;
            }
            const QJsonObject request = QJsonDocument::fromJson(guarded->readLine(maxRequestBytes)).object();
            const QString method = request.value(QStringLiteral("method")).toString();
            const QString argument = request.value(QStringLiteral("argument")).toString();
            const QByteArray reply = replyLine(dispatchInstanceRequest(commands_, method, argument));
            // The request may have run an event loop (a modal window): the peer may be gone.
            if (!guarded) return;
            guarded->write(reply);
            guarded->disconnectFromServer();
        });
    }
}

namespace {

std::optional<InstanceReply> sendOverBus(const QString& method, const QString& argument, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return std::nullopt;
    if (!bus.interface()->isServiceRegistered(QString::fromLatin1(applicationId)).value()) return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(applicationId),
                                                       QString::fromLatin1(instanceObjectPath),
                                                       QString::fromLatin1(instanceInterface), method);
    if (method == QLatin1String(instance_method::openProject)) call << argument;
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    InstanceReply out;
    if (reply.type() == QDBusMessage::ReplyMessage) {
        out.reached = true;
    } else if (reply.errorName() == QLatin1String(refusedError)) {
        out.reached = true;
        out.error = reply.errorMessage();
    } else if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) {
        return std::nullopt;   // the owner left between the check and the call
    } else {
        out.reached = true;
        out.error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    }
    return out;
}

std::optional<InstanceReply> sendOverSocket(const QString& method, const QString& argument, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    if (!socket.waitForConnected(2000)) return std::nullopt;
    const QJsonObject request{{QStringLiteral("method"), method}, {QStringLiteral("argument"), argument}};
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    socket.flush();
    InstanceReply out;
    out.reached = true;
    QElapsedTimer clock;
    clock.start();
    while (!socket.canReadLine()) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left)) {
            if (socket.canReadLine()) break;
            out.error = QStringLiteral("the running Lumivane did not answer");
            return out;
        }
    }
    const QJsonObject reply = QJsonDocument::fromJson(socket.readLine(maxRequestBytes)).object();
    if (!reply.value(QStringLiteral("ok")).toBool())
        out.error = reply.value(QStringLiteral("error")).toString(QStringLiteral("the running Lumivane refused"));
    return out;
}

} // namespace

InstanceReply sendToRunningInstance(const QString& method, const QString& argument, int timeoutMs) {
    if (auto r = sendOverBus(method, argument, timeoutMs)) return *r;
    if (auto r = sendOverSocket(method, argument, timeoutMs)) return *r;
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
