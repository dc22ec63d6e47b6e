#include "platform/wayland/ScreenshotPermissionStore.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QMap>
#include <QStringList>

namespace lumivane::screenshot_permission {

namespace {
const QString storeService = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString storePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
const QString table = QStringLiteral("screenshot");
const QString resource = QStringLiteral("screenshot");
const QString hostApplication; // unsandboxed applications

QDBusMessage storeCall(const QString& method) {
    return QDBusMessage::createMethodCall(storeService, storePath, storeService, method);
}
} // namespace

ScreenCaptureConsent lookup(const QDBusConnection& bus, int timeoutMs) {
    if (!bus.isConnected())
        return ScreenCaptureConsent::notApplicable;
    QDBusMessage call = storeCall(QStringLiteral("Lookup"));
    call << table << resource;
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        // The table or the entry does not exist yet: nobody was asked.
        if (reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound"))
            return ScreenCaptureConsent::notAsked;
        return ScreenCaptureConsent::notApplicable;
    }
    if (reply.arguments().isEmpty())
        return ScreenCaptureConsent::notApplicable;
    QMap<QString, QStringList> permissions;
    reply.arguments().front().value<QDBusArgument>() >> permissions;
    const auto entry = permissions.constFind(hostApplication);
    if (entry == permissions.cend() || entry->isEmpty())
        return ScreenCaptureConsent::notAsked;
    const QString& answer = entry->front();
    if (answer == QLatin1String("yes"))
        return ScreenCaptureConsent::allowed;
    if (answer == QLatin1String("no"))
        return ScreenCaptureConsent::denied;
    return ScreenCaptureConsent::notAsked;
}

bool desktopAsksFirst() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':').contains(QStringLiteral("GNOME"));
}

bool forget(const QDBusConnection& bus, int timeoutMs) {
    if (!bus.isConnected())
        return false;
    QDBusMessage call = storeCall(QStringLiteral("DeletePermission"));
    call << table << resource << hostApplication;
    return bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

} // namespace lumivane::screenshot_permission
