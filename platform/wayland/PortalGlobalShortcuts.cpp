#include "platform/wayland/PortalGlobalShortcuts.h"
#include "platform/UsKeysymName.h"
#include "platform/wayland/Portal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>
#include <QTimer>

namespace lumivane {

namespace {

Q_LOGGING_CATEGORY(lcShortcuts, "lumivane.shortcuts")

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
constexpr int sessionTimeoutMs = 15000;

// One entry of the portal's a(sa{sv}) lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
using PortalShortcutList = QList<PortalShortcut>;

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

void registerTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<PortalShortcutList>();
        return true;
    }();
    (void)once;
}

QString objectPathText(const QVariant& v) {
    if (v.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return v.value<QDBusObjectPath>().path();
    return v.toString();
}

} // namespace

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus) : bus_(std::move(bus)) {
    registerTypes();
}

PortalGlobalShortcuts::~PortalGlobalShortcuts() {
    uninstall();
}

QDBusConnection PortalGlobalShortcuts::sessionBus() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("lumivane-shortcuts"));
}

bool PortalGlobalShortcuts::isAvailable() {
    return portal::exportsInterface(sessionBus(), shortcutsInterface);
}

qint32 PortalGlobalShortcuts::install() {
    if (installed_)
        return statusOk;
    if (!portal::exportsInterface(bus_, shortcutsInterface)) {
        qCWarning(lcShortcuts, "The desktop exports no GlobalShortcuts portal.");
        return statusServiceFailed;
    }
    bus_.connect(portal::service, portal::path, shortcutsInterface, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    installed_ = true;
    return statusOk;
}

void PortalGlobalShortcuts::uninstall() {
    if (!installed_)
        return;
    requested_.clear();
    endSession();
    unwatchRequest();
    pending_ = Pending::none;
    bus_.disconnect(portal::service, portal::path, shortcutsInterface, QStringLiteral("Activated"), this,
                    SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    installed_ = false;
}

void PortalGlobalShortcuts::describe(int id, const QString& name, const QString& description) {
    names_[id] = name;
    descriptions_[id] = description;
}

QString PortalGlobalShortcuts::nameFor(int id) const {
    return names_.value(id, QStringLiteral("shortcut-%1").arg(id));
}

qint32 PortalGlobalShortcuts::grab(quint32 evdevCode, quint16 x11Modifiers, int id) {
    if (!installed_)
        return statusNoDisplay;
    requested_[id] = {nameFor(id), descriptions_.value(id), triggerFor(evdevCode, x11Modifiers)};
    return statusPending;
}

void PortalGlobalShortcuts::ungrabAll() {
    requested_.clear();
}

void PortalGlobalShortcuts::commitGrabs() {
    if (!installed_ || requested_.isEmpty())
        return;
    if (pending_ != Pending::none) {
        // The answer in flight is for older requests: bind again when it comes.
        rebindAfterAnswer_ = true;
        return;
    }
    if (session_.isEmpty())
        return createSession();
    if (requested_ == bound_) {
        // Already bound in this session: the same answers, without asking the desktop.
        const QSet<int> assigned = assigned_;
        QTimer::singleShot(0, this, [this, assigned] { settle(assigned, statusRefused); });
        return;
    }
    bind();
}

void PortalGlobalShortcuts::createSession() {
    const QString token = portal::newToken();
    const QString sessionToken = portal::newToken();
    watchRequest(portal::objectPath(bus_, QStringLiteral("request"), token));
    pending_ = Pending::session;
    QDBusMessage call = QDBusMessage::createMethodCall(portal::service, portal::path, shortcutsInterface,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), sessionToken}};
    send(call, Pending::session, sessionTimeoutMs);
    QTimer::singleShot(sessionTimeoutMs, this, [this, path = requestPath_] {
        if (pending_ != Pending::session || requestPath_ != path)
            return;
        qCWarning(lcShortcuts, "The GlobalShortcuts portal did not open a session within %d ms.", sessionTimeoutMs);
        unwatchRequest();
        pending_ = Pending::none;
        settleAllLater(statusServiceFailed);
    });
}

void PortalGlobalShortcuts::bind() {
    const QString token = portal::newToken();
    watchRequest(portal::objectPath(bus_, QStringLiteral("request"), token));
    pending_ = Pending::binding;
    rebindAfterAnswer_ = false;
    bound_ = requested_;
    PortalShortcutList shortcuts;
    for (auto it = requested_.cbegin(); it != requested_.cend(); ++it) {
        QVariantMap properties{{QStringLiteral("description"), it->description}};
        if (!it->trigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), it->trigger);
        shortcuts.append({it->name, properties});
    }
    QDBusMessage call = QDBusMessage::createMethodCall(portal::service, portal::path, shortcutsInterface,
                                                       QStringLiteral("BindShortcuts"));
    // No parent window: the tray application has none to attach the desktop's dialog to.
    call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    // The call answers at once with the request; its Response may wait for the user.
    send(call, Pending::binding, -1);
}

void PortalGlobalShortcuts::send(const QDBusMessage& call, Pending expected, int timeoutMs) {
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, expected, method = call.member()](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (pending_ != expected)
                    return;
                if (reply.isError()) {
                    qCWarning(lcShortcuts, "GlobalShortcuts.%s failed: %s: %s", qPrintable(method),
                              qPrintable(reply.error().name()), qPrintable(reply.error().message()));
                    unwatchRequest();
                    pending_ = Pending::none;
                    bound_.clear();
                    return settleAllLater(statusServiceFailed);
                }
                // Portals older than handle_token answer on a path of their own choosing.
                if (reply.value().path() != requestPath_)
                    watchRequest(reply.value().path());
            });
}

void PortalGlobalShortcuts::onRequestResponse(uint response, const QVariantMap& results) {
    const Pending was = pending_;
    unwatchRequest();
    pending_ = Pending::none;
    if (was == Pending::session) {
        session_ = response == 0 ? objectPathText(results.value(QStringLiteral("session_handle"))) : QString();
        if (session_.isEmpty()) {
            qCWarning(lcShortcuts, "The GlobalShortcuts portal opened no session (response %u).", response);
            return settleAllLater(response == 1 ? statusRefused : statusServiceFailed);
        }
        bus_.connect(portal::service, session_, portal::sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
        if (!requested_.isEmpty())
            bind();
        return;
    }
    if (was != Pending::binding)
        return;
    const QMap<int, Request> asked = bound_;
    assigned_.clear();
    if (response == 0) {
        const auto answered = qdbus_cast<PortalShortcutList>(results.value(QStringLiteral("shortcuts")));
        for (auto it = asked.cbegin(); it != asked.cend(); ++it)
            for (const PortalShortcut& s : answered)
                if (s.id == it->name)
                    assigned_.insert(it.key());
    } else {
        qCWarning(lcShortcuts, "The desktop did not bind the shortcuts (response %u).", response);
        // Asked again at the next registration.
        bound_.clear();
    }
    // Requests that changed while the desktop was answering are bound now.
    if (rebindAfterAnswer_ && !requested_.isEmpty() && requested_ != asked)
        return bind();
    rebindAfterAnswer_ = false;
    settle(assigned_, response == 0 || response == 1 ? statusRefused : statusServiceFailed);
}

void PortalGlobalShortcuts::settle(const QSet<int>& assigned, qint32 othersStatus) {
    for (auto it = requested_.cbegin(); it != requested_.cend(); ++it)
        if (onGrabSettled)
            onGrabSettled(it.key(), assigned.contains(it.key()) ? statusOk : othersStatus);
}

void PortalGlobalShortcuts::settleAllLater(qint32 status) {
    QTimer::singleShot(0, this, [this, status] { settle({}, status); });
}

void PortalGlobalShortcuts::onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                        const QVariantMap&) {
    if (session.path() != session_)
        return;
    for (auto it = requested_.cbegin(); it != requested_.cend(); ++it)
        if (it->name == shortcutId && assigned_.contains(it.key()) && onPressed)
            return onPressed(it.key());
}

void PortalGlobalShortcuts::onSessionClosed(const QVariantMap&) {
    qCWarning(lcShortcuts, "The desktop closed the GlobalShortcuts session.");
    forgetSession();
    settle({}, statusRefused);
}

void PortalGlobalShortcuts::endSession() {
    if (session_.isEmpty())
        return;
    bus_.call(
        QDBusMessage::createMethodCall(portal::service, session_, portal::sessionInterface, QStringLiteral("Close")),
        QDBus::NoBlock);
    forgetSession();
}

void PortalGlobalShortcuts::forgetSession() {
    bus_.disconnect(portal::service, session_, portal::sessionInterface, QStringLiteral("Closed"), this,
                    SLOT(onSessionClosed(QVariantMap)));
    session_.clear();
    bound_.clear();
    assigned_.clear();
}

void PortalGlobalShortcuts::watchRequest(const QString& path) {
    unwatchRequest();
    requestPath_ = path;
    // Any sender: the path is ours alone, and the portal may still be starting.
    bus_.connect(QString(), requestPath_, portal::requestInterface, QStringLiteral("Response"), this,
                 SLOT(onRequestResponse(uint, QVariantMap)));
}

void PortalGlobalShortcuts::unwatchRequest() {
    if (requestPath_.isEmpty())
        return;
    bus_.disconnect(QString(), requestPath_, portal::requestInterface, QStringLiteral("Response"), this,
                    SLOT(onRequestResponse(uint, QVariantMap)));
    requestPath_.clear();
}

QString PortalGlobalShortcuts::triggerFor(quint32 evdevCode, quint16 x11Modifiers) {
    // The symbol of the key on a US keyboard: what the desktop maps back to the same key.
    const std::optional<QString> key = usKeysymName(evdevCode);
    if (!key)
        return {};
    QString trigger;
    if (x11Modifiers & 4)
        trigger += QStringLiteral("CTRL+");
    if (x11Modifiers & 8)
        trigger += QStringLiteral("ALT+");
    if (x11Modifiers & 1)
        trigger += QStringLiteral("SHIFT+");
    if (x11Modifiers & 64)
        trigger += QStringLiteral("LOGO+");
    return trigger + *key;
}

} // namespace lumivane
