#pragma once
#include <QDBusConnection>
#include <QString>

namespace lumivane {

// Notifications through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), for news the tray menu
// cannot carry on a desktop without a tray. UI thread.
class DesktopNotifications {
public:
    explicit DesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus());

    // Sends one notification from Lumivane (its name, icon and desktop entry) and
    // does not wait for the service. False when the bus has no notification service;
    // the text then goes to standard error, so it is not lost (also when the service
    // answers with an error, as one that cannot be started does).
    bool notify(const QString& summary, const QString& body);

private:
    QDBusConnection bus_;
};

} // namespace lumivane
