#include "FakeGlobalShortcutsPortal.h"

#include "BusServiceConnection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QThread>
#include <QUuid>

namespace lumivane::test {

QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s) {
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}

namespace detail {

namespace {
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// ":1.42" -> "1_42", as in the portal's request and session paths.
QString senderElement(const QString& sender) {
    QString s = sender.startsWith(':') ? sender.mid(1) : sender;
    s.replace('.', '_');
    return s;
}

QString tokenOr(const QVariantMap& options, const char* key) {
    const QString token = options.value(key).toString();
    return token.isEmpty() ? "t" + QUuid::createUuid().toString(QUuid::Id128) : token;
}
} // namespace

class GlobalShortcutsService;

// org.freedesktop.portal.Session for one session handle.
class PortalSessionObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")
    Q_PROPERTY(uint version READ version)
public:
    PortalSessionObject(GlobalShortcutsService* service, QString path) : service_(service), path_(std::move(path)) {}
    uint version() const { return 1; }
public slots:
    Q_SCRIPTABLE void Close();

private:
    GlobalShortcutsService* service_;
    QString path_;
};

class GlobalShortcutsService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    explicit GlobalShortcutsService(QString address) : address_(std::move(address)) {}
    uint version() const { return 1; }

    struct Session {
        QString owner;
        QList<FakeGlobalShortcutsPortal::Binding> bindings;
        PortalSessionObject* object = nullptr;
    };

public slots:
    // Runs in the service thread.
    bool start() {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        conn_ = std::make_unique<BusServiceConnection>(address_, "fake-global-shortcuts-");
        return conn_->serve(this, kPortalPath, "org.freedesktop.portal.Desktop");
    }
    void stop() {
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
            delete it->object;
        sessions_.clear();
        if (conn_) {
            conn_->bus().unregisterObject(kPortalPath);
            conn_.reset();
        }
        moveToThread(nullptr);
    }

    Q_SCRIPTABLE QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& msg) {
        const QString sender = senderElement(msg.service());
        const QString request = kPortalPath + "/request/" + sender + "/" + tokenOr(options, "handle_token");
        const QString session = kPortalPath + "/session/" + sender + "/" + tokenOr(options, "session_handle_token");
        Session s;
        s.owner = msg.service();
        s.object = new PortalSessionObject(this, session);
        conn_->bus().registerObject(session, s.object,
                                    QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties);
        sessions_.insert(session, s);
        answer(msg, request, 0, {{"session_handle", session}});
        return QDBusObjectPath(request);
    }

    // moc matches the registered type by its full name.
    Q_SCRIPTABLE QDBusObjectPath BindShortcuts(const QDBusObjectPath& session,
                                               const QList<lumivane::test::PortalShortcut>& shortcuts,
                                               const QString& parentWindow, const QVariantMap& options,
                                               const QDBusMessage& msg) {
        const QString request = requestPath(msg, options);
        const auto it = ownedSession(session, msg);
        if (it == sessions_.end())
            return {};
        lastParentWindow_ = parentWindow;
        if (refuseNext_) {
            const uint code = refuseNext_;
            refuseNext_ = 0;
            answer(msg, request, code, {});
            return QDBusObjectPath(request);
        }
        it->bindings.clear();
        for (const PortalShortcut& s : shortcuts) {
            if (!refusedId_.isEmpty() && s.id == refusedId_)
                continue;
            it->bindings.append({session.path(), s.id, s.properties.value("description").toString(),
                                 s.properties.value("preferred_trigger").toString()});
        }
        answer(msg, request, 0, {{"shortcuts", QVariant::fromValue(answerList(*it))}});
        return QDBusObjectPath(request);
    }

    Q_SCRIPTABLE QDBusObjectPath ListShortcuts(const QDBusObjectPath& session, const QVariantMap& options,
                                               const QDBusMessage& msg) {
        const QString request = requestPath(msg, options);
        const auto it = ownedSession(session, msg);
        if (it == sessions_.end())
            return {};
        answer(msg, request, 0, {{"shortcuts", QVariant::fromValue(answerList(*it))}});
        return QDBusObjectPath(request);
    }

    // Hooks, called through blocking queued invocations.
    QList<FakeGlobalShortcutsPortal::Binding> bindings() const {
        QList<FakeGlobalShortcutsPortal::Binding> all;
        for (const Session& s : sessions_)
            all += s.bindings;
        return all;
    }
    QStringList sessionHandles() const { return sessions_.keys(); }
    QString lastParentWindow() const { return lastParentWindow_; }
    void setRefuseNext(uint code) { refuseNext_ = code; }
    void setRefusedId(const QString& id) { refusedId_ = id; }
    bool activate(const QString& id, bool release) {
        for (auto it = sessions_.cbegin(); it != sessions_.cend(); ++it) {
            for (const auto& b : it->bindings) {
                if (b.id != id)
                    continue;
                const quint64 now = quint64(QDateTime::currentMSecsSinceEpoch());
                emitTo(it->owner, "Activated",
                       {QVariant::fromValue(QDBusObjectPath(it.key())), id, now, QVariantMap()});
                if (release)
                    emitTo(it->owner, "Deactivated",
                           {QVariant::fromValue(QDBusObjectPath(it.key())), id, now + 1, QVariantMap()});
                return true;
            }
        }
        return false;
    }
    bool closeSession(const QString& handle, bool emitClosed) {
        auto it = sessions_.find(handle);
        if (it == sessions_.end())
            return false;
        if (emitClosed) {
            QDBusMessage closed =
                QDBusMessage::createTargetedSignal(it->owner, handle, "org.freedesktop.portal.Session", "Closed");
            closed << QVariantMap();
            conn_->bus().send(closed);
        }
        conn_->bus().unregisterObject(handle);
        it->object->deleteLater();
        sessions_.erase(it);
        return true;
    }

private:
    QString requestPath(const QDBusMessage& msg, const QVariantMap& options) const {
        return kPortalPath + "/request/" + senderElement(msg.service()) + "/" + tokenOr(options, "handle_token");
    }
    static QList<PortalShortcut> answerList(const Session& s) {
        QList<PortalShortcut> list;
        for (const auto& b : s.bindings)
            list.append({b.id, {{"description", b.description}, {"trigger_description", b.preferredTrigger}}});
        return list;
    }
    // The caller's own open session; otherwise the call is answered with an error and
    // the result is the end of sessions_.
    QMap<QString, Session>::iterator ownedSession(const QDBusObjectPath& session, const QDBusMessage& msg) {
        auto it = sessions_.find(session.path());
        if (it != sessions_.end() && it->owner == msg.service())
            return it;
        refuse(msg);
        return sessions_.end();
    }
    void refuse(const QDBusMessage& msg) {
        msg.setDelayedReply(true);
        conn_->bus().send(msg.createErrorReply("org.freedesktop.portal.Error.NotFound", "Invalid session"));
    }
    // The method's reply first, then the request's Response.
    void answer(const QDBusMessage& msg, const QString& request, uint code, const QVariantMap& results) {
        msg.setDelayedReply(true);
        conn_->bus().send(msg.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response =
            QDBusMessage::createTargetedSignal(msg.service(), request, "org.freedesktop.portal.Request", "Response");
        response << code << results;
        conn_->bus().send(response);
    }
    void emitTo(const QString& owner, const QString& name, const QVariantList& args) {
        QDBusMessage signal = QDBusMessage::createTargetedSignal(owner, kPortalPath, kInterface, name);
        signal.setArguments(args);
        conn_->bus().send(signal);
    }

    QString address_;
    std::unique_ptr<BusServiceConnection> conn_;
    QMap<QString, Session> sessions_;
    QString lastParentWindow_;
    QString refusedId_;
    uint refuseNext_ = 0;
};

void PortalSessionObject::Close() {
    service_->closeSession(path_, false);
}

} // namespace detail

FakeGlobalShortcutsPortal::FakeGlobalShortcutsPortal() {
    if (!bus_.isRunning()) {
        error_ = bus_.errorText();
        return;
    }
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName("fake-global-shortcuts-portal");
    auto* service = new detail::GlobalShortcutsService(bus_.address());
    service->moveToThread(thread_.get());
    thread_->start();
    bool ok = false;
    QMetaObject::invokeMethod(
        service, [&] { ok = service->start(); }, Qt::BlockingQueuedConnection);
    if (!ok) {
        error_ = "cannot serve org.freedesktop.portal.Desktop on " + bus_.address();
        QMetaObject::invokeMethod(
            service, [&] { service->stop(); }, Qt::BlockingQueuedConnection);
        delete service;
        return;
    }
    service_ = service;
}

FakeGlobalShortcutsPortal::~FakeGlobalShortcutsPortal() {
    if (service_) {
        QMetaObject::invokeMethod(
            service_, [this] { service_->stop(); }, Qt::BlockingQueuedConnection);
        delete service_;
    }
    if (thread_) {
        thread_->quit();
        thread_->wait();
    }
}

QList<FakeGlobalShortcutsPortal::Binding> FakeGlobalShortcutsPortal::bindings() const {
    QList<Binding> result;
    if (service_)
        QMetaObject::invokeMethod(
            service_, [&] { result = service_->bindings(); }, Qt::BlockingQueuedConnection);
    return result;
}

QStringList FakeGlobalShortcutsPortal::sessions() const {
    QStringList result;
    if (service_)
        QMetaObject::invokeMethod(
            service_, [&] { result = service_->sessionHandles(); }, Qt::BlockingQueuedConnection);
    return result;
}

QString FakeGlobalShortcutsPortal::lastParentWindow() const {
    QString result;
    if (service_)
        QMetaObject::invokeMethod(
            service_, [&] { result = service_->lastParentWindow(); }, Qt::BlockingQueuedConnection);
    return result;
}

void FakeGlobalShortcutsPortal::refuseNextBinding(uint response) {
    if (service_)
        QMetaObject::invokeMethod(
            service_, [this, response] { service_->setRefuseNext(response); }, Qt::BlockingQueuedConnection);
}

void FakeGlobalShortcutsPortal::refuseShortcut(const QString& id) {
    if (service_)
        QMetaObject::invokeMethod(
            service_, [this, id] { service_->setRefusedId(id); }, Qt::BlockingQueuedConnection);
}

bool FakeGlobalShortcutsPortal::activate(const QString& shortcutId, bool release) {
    bool ok = false;
    if (service_)
        QMetaObject::invokeMethod(
            service_, [&] { ok = service_->activate(shortcutId, release); }, Qt::BlockingQueuedConnection);
    return ok;
}

bool FakeGlobalShortcutsPortal::closeSession(const QString& sessionHandle) {
    bool ok = false;
    if (service_)
        QMetaObject::invokeMethod(
            service_, [&] { ok = service_->closeSession(sessionHandle, true); }, Qt::BlockingQueuedConnection);
    return ok;
}

} // namespace lumivane::test

#include "FakeGlobalShortcutsPortal.moc"
