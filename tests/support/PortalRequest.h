#pragma once
// Waits for one org.freedesktop.portal.Request::Response: subscribe first
// (the request path is known from the sender and handle_token), then call.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTest>
#include <QVariantMap>
#include <optional>

namespace lumivane::test {

class PortalRequest : public QObject {
    Q_OBJECT
public:
    PortalRequest(QDBusConnection bus, const QString& token) : bus_(bus) {
        QString sender = bus.baseService().mid(1);
        sender.replace('.', '_');
        path_ = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
        bus_.connect(QString(), path_, "org.freedesktop.portal.Request", "Response", this,
                     SLOT(onResponse(uint, QVariantMap)));
    }
    ~PortalRequest() override {
        bus_.disconnect(QString(), path_, "org.freedesktop.portal.Request", "Response", this,
                        SLOT(onResponse(uint, QVariantMap)));
    }
    QString path() const { return path_; }
    bool wait(int timeoutMs) {
        return QTest::qWaitFor([this] { return code_.has_value(); }, timeoutMs);
    }
    std::optional<uint> code() const { return code_; }
    QVariantMap results() const { return results_; }

private slots:
    void onResponse(uint code, const QVariantMap& results) {
        code_ = code;
        results_ = results;
    }

private:
    QDBusConnection bus_;
    QString path_;
    std::optional<uint> code_;
    QVariantMap results_;
};

} // namespace lumivane::test
