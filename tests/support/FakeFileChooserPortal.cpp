#include "FakeFileChooserPortal.h"

#include "BusServiceConnection.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>
#include <QUuid>

namespace lumivane::test {

namespace detail {

class FileChooserService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
    Q_PROPERTY(uint version READ version)
public:
    explicit FileChooserService(const QString& address) : connection_(address, "fake-file-chooser-") {}

    bool start() {
        return connection_.serve(this, QStringLiteral("/org/freedesktop/portal/desktop"),
                                 QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    uint version() const { return 3; }

    QStringList openUris;
    QStringList saveUris;
    QList<FakeFileChooserPortal::Call> calls;

public slots:
    Q_SCRIPTABLE QDBusObjectPath OpenFile(const QString&, const QString&, const QVariantMap& options) {
        return answer(QStringLiteral("OpenFile"), options, openUris);
    }
    Q_SCRIPTABLE QDBusObjectPath SaveFile(const QString&, const QString&, const QVariantMap& options) {
        return answer(QStringLiteral("SaveFile"), options, saveUris);
    }

private:
    // The request object of the call; its Response follows the reply, once the
    // client had time to subscribe to that path.
    QDBusObjectPath answer(const QString& method, const QVariantMap& options, const QStringList& uris) {
        calls.push_back({method, options});
        QString sender = message().service().mid(1);
        sender.replace('.', '_');
        QString token = options.value(QStringLiteral("handle_token")).toString();
        if (token.isEmpty())
            token = "t" + QUuid::createUuid().toString(QUuid::Id128);
        const QString path = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
        QTimer::singleShot(200, this, [this, path, uris] {
            QDBusMessage response = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                               QStringLiteral("Response"));
            response << uint(0) << QVariantMap{{QStringLiteral("uris"), uris}};
            connection_.bus().send(response);
        });
        return QDBusObjectPath(path);
    }

    BusServiceConnection connection_;
};

} // namespace detail

FakeFileChooserPortal::FakeFileChooserPortal() {
    if (!bus_.isRunning()) {
        error_ = bus_.errorText();
        return;
    }
    auto service = std::make_unique<detail::FileChooserService>(bus_.address());
    if (!service->start()) {
        error_ = "cannot serve org.freedesktop.portal.Desktop on " + bus_.address();
        return;
    }
    service_ = std::move(service);
}

FakeFileChooserPortal::~FakeFileChooserPortal() = default;

void FakeFileChooserPortal::answerOpenFile(const QStringList& uris) {
    if (service_)
        service_->openUris = uris;
}

void FakeFileChooserPortal::answerSaveFile(const QStringList& uris) {
    if (service_)
        service_->saveUris = uris;
}

QList<FakeFileChooserPortal::Call> FakeFileChooserPortal::calls() const {
    return service_ ? service_->calls : QList<Call>();
}

} // namespace lumivane::test

#include "FakeFileChooserPortal.moc"
