#include "platform/wayland/Portal.h"

#include <QDBusMessage>
#include <QRandomGenerator>
#include <atomic>

namespace lumivane::portal {

QString newToken() {
    static std::atomic<quint32> counter{0};
    return QStringLiteral("lumivane%1_%2").arg(++counter).arg(QRandomGenerator::global()->generate());
}

QString objectPath(const QDBusConnection& bus, const QString& kind, const QString& token) {
    QString sender = bus.baseService();
    if (sender.startsWith(u':'))
        sender.remove(0, 1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/%1/%2/%3").arg(kind, sender, token);
}

bool isMissingService(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
    case QDBusError::Disconnected:
        return true;
    default:
        return false;
    }
}

bool exportsInterface(const QDBusConnection& bus, const QString& interface, int timeoutMs) {
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().front().toString().contains(QStringLiteral("\"%1\"").arg(interface));
}

} // namespace lumivane::portal
