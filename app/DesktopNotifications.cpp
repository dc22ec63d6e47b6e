#include "app/DesktopNotifications.h"
#include "platform/ApplicationId.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTextStream>
#include <QVariantMap>

namespace lumivane {

namespace {
constexpr char service[] = "org.freedesktop.Notifications";
constexpr char path[] = "/org/freedesktop/Notifications";
// The service decides how long a notification stays.
constexpr int serverDefaultTimeout = -1;
} // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus) : bus_(std::move(bus)) {}

bool DesktopNotifications::notify(const QString& summary, const QString& body) {
    const bool available = bus_.isConnected() && bus_.interface() &&
                           (bus_.interface()->isServiceRegistered(QString::fromLatin1(service)).value() ||
                            bus_.interface()->activatableServiceNames().value().contains(QString::fromLatin1(service)));
    if (!available) {
        QTextStream(stderr) << "lumivane: " << summary << "\n" << body << "\n";
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                                       QString::fromLatin1(service), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(applicationId)},
                            {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
    call << QStringLiteral("Lumivane") << uint(0) << QString::fromLatin1(applicationId) << summary << body
         << QStringList() << hints << serverDefaultTimeout;
    // A service that is only activatable may fail to start: its text is not lost either.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [summary, body](QDBusPendingCallWatcher* w) {
        if (w->isError())
            QTextStream(stderr) << "lumivane: " << summary << "\n" << body << "\n(" << w->error().message() << ")\n";
        w->deleteLater();
    });
    return true;
}

} // namespace lumivane
