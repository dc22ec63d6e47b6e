#pragma once
#include <QProcess>
#include <QString>
#include <memory>

namespace lumivane::test {

// A dbus-daemon of the test's own, stopped with this object (or with the test
// process, however it ends). Connect with QDBusConnection::connectToBus(address(), name)
// or hand address() to a child as DBUS_SESSION_BUS_ADDRESS.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    QString errorText() const { return error_; }

private:
    std::unique_ptr<QProcess> daemon_;
    QString address_;
    QString error_;
};

} // namespace lumivane::test
