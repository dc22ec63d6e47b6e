#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

#include "PrivateBus.h"

namespace lumivane::test {

namespace detail {
class NotificationService;
}

// org.freedesktop.Notifications as the Desktop Notifications specification
// defines it (Notify, CloseNotification, GetCapabilities, GetServerInformation),
// recording what it is asked to show. On a private bus of its own, or on the bus
// at `busAddress` (a private session's). Serves from the thread that made it, so
// that thread must run its event loop before the calls are seen.
class FakeNotificationServer {
public:
    explicit FakeNotificationServer(const QString& busAddress = {});
    ~FakeNotificationServer();
    FakeNotificationServer(const FakeNotificationServer&) = delete;
    FakeNotificationServer& operator=(const FakeNotificationServer&) = delete;

    bool isRunning() const { return service_ != nullptr; }
    QString errorText() const { return error_; }
    QString busAddress() const { return address_; }

    struct Notification {
        QString appName;
        QString appIcon;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Notification> notifications() const;
    // Waits (running the event loop) until at least `count` have arrived.
    bool waitForNotifications(int count, int timeoutMs = 10000) const;

private:
    std::unique_ptr<PrivateBus> ownBus_;
    QString address_;
    QString error_;
    std::unique_ptr<detail::NotificationService> service_;
};

} // namespace lumivane::test
