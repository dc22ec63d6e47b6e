#pragma once
#include <QDBusConnection>
#include <QString>
#include <QUuid>

namespace lumivane::test {

// A connection of a fake service's own to a private bus, under a unique name and closed
// with it, serving one object at a path under a well-known service name. Made and
// destroyed on the thread that serves the object.
class BusServiceConnection {
public:
    BusServiceConnection(const QString& address, const QString& namePrefix)
        : connection_(QDBusConnection::connectToBus(address, namePrefix + QUuid::createUuid().toString(QUuid::Id128))) {
    }
    ~BusServiceConnection() { QDBusConnection::disconnectFromBus(connection_.name()); }
    BusServiceConnection(const BusServiceConnection&) = delete;
    BusServiceConnection& operator=(const BusServiceConnection&) = delete;

    bool serve(QObject* object, const QString& path, const QString& service,
               QDBusConnection::RegisterOptions options = QDBusConnection::ExportScriptableSlots |
                                                          QDBusConnection::ExportAllProperties) {
        return connection_.isConnected() && connection_.registerObject(path, object, options) &&
               connection_.registerService(service);
    }
    QDBusConnection& bus() { return connection_; }

private:
    QDBusConnection connection_;
};

} // namespace lumivane::test
