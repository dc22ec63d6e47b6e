#include "FakeNotificationServer.h"

#include "BusServiceConnection.h"

#include <QObject>
#include <QTest>

namespace lumivane::test {

namespace detail {

class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit NotificationService(const QString& address) : connection_(address, "fake-notifications-") {}

    bool start() {
        return connection_.serve(this, QStringLiteral("/org/freedesktop/Notifications"),
                                 QStringLiteral("org.freedesktop.Notifications"),
                                 QDBusConnection::ExportScriptableSlots);
    }

    QList<FakeNotificationServer::Notification> received;

public slots:
    Q_SCRIPTABLE uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                             const QString& body, const QStringList&, const QVariantMap& hints, int) {
        received.push_back({appName, appIcon, summary, body, hints});
        return replacesId ? replacesId : uint(received.size());
    }
    Q_SCRIPTABLE void CloseNotification(uint) {}
    Q_SCRIPTABLE QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    Q_SCRIPTABLE QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = QStringLiteral("Lumivane tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake-notifications");
    }

private:
    BusServiceConnection connection_;
};

} // namespace detail

FakeNotificationServer::FakeNotificationServer(const QString& busAddress) : address_(busAddress) {
    if (address_.isEmpty()) {
        ownBus_ = std::make_unique<PrivateBus>();
        if (!ownBus_->isRunning()) {
            error_ = ownBus_->errorText();
            return;
        }
        address_ = ownBus_->address();
    }
    auto service = std::make_unique<detail::NotificationService>(address_);
    if (!service->start()) {
        error_ = "cannot serve org.freedesktop.Notifications on " + address_;
        return;
    }
    service_ = std::move(service);
}

FakeNotificationServer::~FakeNotificationServer() = default;

QList<FakeNotificationServer::Notification> FakeNotificationServer::notifications() const {
    return service_ ? service_->received : QList<Notification>();
}

bool FakeNotificationServer::waitForNotifications(int count, int timeoutMs) const {
    return QTest::qWaitFor([&] { return notifications().size() >= count; }, timeoutMs);
}

} // namespace lumivane::test

#include "FakeNotificationServer.moc"
