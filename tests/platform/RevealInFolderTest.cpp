// "Show in folder" through the session's file manager: ShowItems of
// org.freedesktop.FileManager1 (a service of the test's own on a private bus, where
// no file manager runs) with the file's URI, whatever its name holds.
#include "PrivateBus.h"
#include "platform/ShareTargets.h"

#include <QDBusConnection>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

class FileManagerService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    explicit FileManagerService(const QString& address)
        : connection_(QDBusConnection::connectToBus(address, "fake-file-manager-" +
                                                                 QUuid::createUuid().toString(QUuid::Id128))) {}
    ~FileManagerService() override { QDBusConnection::disconnectFromBus(connection_.name()); }
    bool start() {
        return connection_.isConnected() &&
               connection_.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this,
                                          QDBusConnection::ExportScriptableSlots) &&
               connection_.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    }
    QStringList shown;

public slots:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
    Q_SCRIPTABLE void ShowFolders(const QStringList&, const QString&) {}

private:
    QDBusConnection connection_;
};

} // namespace

TEST(RevealInFolder, TheFileManagerIsAskedToShowTheFileItself) {
    test::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.errorText().toStdString();
    FileManagerService fileManager(bus.address());
    ASSERT_TRUE(fileManager.start());
    // GIO's session bus is made on first use, from the environment.
    const QByteArray sessionBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("撮影 #1 100%.lumivane"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const std::shared_ptr<ShareTargets> targets = makeDesktopShareTargets();
    // The call waits for its answer, which this thread serves.
    QString error;
    QFuture<bool> revealed = QtConcurrent::run([&] { return targets->revealInFolder(path, &error); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return revealed.isFinished(); }, 10000));
    EXPECT_TRUE(revealed.result()) << error.toStdString();
    ASSERT_EQ(fileManager.shown.size(), 1);
    EXPECT_EQ(QUrl(fileManager.shown[0]).toLocalFile(), path);
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBus);
}

#include "RevealInFolderTest.moc"
