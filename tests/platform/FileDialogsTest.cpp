#include "platform/FileDialogs.h"
#include "FakeFileChooserPortal.h"
#include "NextMessageBox.h"
#include "core/NativeFileNames.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumivane;
using lumivane::test::answerNextMessageBox;
using lumivane::test::FakeFileChooserPortal;

namespace {

// A folder of entries created under their own bytes.
class RawFolder {
public:
    RawFolder() : root_(QFile::encodeName(dir_.path())) { dir_.setAutoRemove(false); }
    // QDir cannot remove names it cannot decode.
    ~RawFolder() { std::filesystem::remove_all(std::string(root_.constData())); }
    QByteArray root() const { return root_; }
    QByteArray file(const QByteArray& name, const QByteArray& contents = "x") const {
        const QByteArray path = root_ + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << path.toHex().constData();
        EXPECT_EQ(::write(fd, contents.constData(), size_t(contents.size())), contents.size());
        ::close(fd);
        return path;
    }
    QByteArray folder(const QByteArray& name) const {
        const QByteArray path = root_ + '/' + name;
        EXPECT_EQ(::mkdir(path.constData(), 0755), 0);
        return path;
    }

private:
    QTemporaryDir dir_;
    QByteArray root_;
};

// What Qt's own dialog shows and returns for a path: its bytes decoded lossily.
QString shown(const QByteArray& native) {
    return QFile::decodeName(native);
}

QByteArray readNative(const QString& path) {
    const int fd = ::open(nativeFileName(path).constData(), O_RDONLY);
    if (fd < 0)
        return {};
    char buffer[64];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return QByteArray(buffer, int(std::max<ssize_t>(n, 0)));
}

// Types `text` into the name field of the next file dialog and accepts it, as a
// user does where a dialog shows names it cannot decode (GTK's) or cannot show them.
void typeInNextFileDialog(const QString& text) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name || !name->isVisible())
            return;
        poll->deleteLater();
        name->setText(text);
        QTest::keyClick(name, Qt::Key_Return);
    });
    poll->start(50);
}

} // namespace

TEST(NativeFileNames, PathsDialogsShowUndecodedGetTheirBytesBack) {
    RawFolder dir;
    const QByteArray folder = dir.folder("shots-\xe9");
    const QByteArray file = dir.file("shots-\xe9/caf\xe9\xff.png");
    // Every undecoded component, folders included, comes back as its own bytes.
    EXPECT_EQ(nativeFileName(recoverUndecodedPath(shown(file))), file);
    EXPECT_EQ(nativeFileName(recoverUndecodedPath(shown(folder))), folder);
    // A new name typed in such a folder keeps what was typed.
    const QString typed = shown(folder) + QStringLiteral("/新規\uFFFD.png");
    EXPECT_EQ(nativeFileName(recoverUndecodedPath(typed)), folder + QStringLiteral("/新規\uFFFD.png").toUtf8());
    // Names that show alike cannot be told apart: kept as shown, never guessed.
    dir.file("twin-\xe9");
    dir.file("twin-\xfe");
    const QString twin = shown(dir.root() + "/twin-\xe9");
    EXPECT_EQ(recoverUndecodedPath(twin), twin);
    // Paths that decode cleanly are left alone, whether or not they exist.
    EXPECT_EQ(recoverUndecodedPath(QStringLiteral("/tmp/スクリーンショット.png")),
              QStringLiteral("/tmp/スクリーンショット.png"));
}

TEST(NativeFileNames, UrlsKeepTheBytesTheyCarry) {
    EXPECT_EQ(nativeFileName(localPathFromUrl(QUrl::fromEncoded("file:///tmp/caf%E9%FF.png"))),
              QByteArray("/tmp/caf\xe9\xff.png"));
    EXPECT_EQ(localPathFromUrl(QUrl::fromEncoded("file:///tmp/%E3%82%B7%E3%83%A7%E3%83%83%E3%83%88.png")),
              QStringLiteral("/tmp/ショット.png"));
    EXPECT_EQ(localPathFromUrl(QUrl(QStringLiteral("https://example.com/a.png"))), QString());
    EXPECT_FALSE(hasUndecodedBytes(QStringLiteral("/tmp/ショット.png")));
    EXPECT_TRUE(hasUndecodedBytes(fileNameFromNative("/tmp/caf\xe9")));
}

// A dialog that returns decoded names (GTK's): the name shown with U+FFFD gives the
// file itself.
TEST(FileDialogs, OpeningANameShownUndecodedGivesThatFile) {
    RawFolder dir;
    dir.file("caf\xe9.lumivane", "project");
    typeInNextFileDialog(shown("caf\xe9.lumivane"));
    const std::optional<QString> path = chooseFileToOpen(nullptr, shown(dir.root()), QString());
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(nativeFileName(*path), dir.root() + "/caf\xe9.lumivane");
    EXPECT_EQ(readNative(*path), "project");
}

// The dialog did not see that file, so it did not ask before replacing it: we do.
TEST(FileDialogs, SavingOverANameShownUndecodedAsksFirst) {
    RawFolder dir;
    const QByteArray existing = dir.file("shot-\xe9.png", "old");
    QString question;

    typeInNextFileDialog(shown("shot-\xe9.png"));
    answerNextMessageBox(QMessageBox::No, &question);
    EXPECT_FALSE(chooseFileToSave(nullptr, shown(dir.root()) + "/new.png", QString()).has_value());
    EXPECT_TRUE(question.contains(QStringLiteral("すでに存在します"))) << question.toStdString();

    typeInNextFileDialog(shown("shot-\xe9.png"));
    answerNextMessageBox(QMessageBox::Yes, &question);
    const std::optional<QString> path = chooseFileToSave(nullptr, shown(dir.root()) + "/new.png", QString());
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(nativeFileName(*path), existing);

    // A new name, typed into a folder whose own name is not UTF-8, lands in that
    // folder without a question.
    const QByteArray folder = dir.folder("shots-\xff");
    typeInNextFileDialog(shown("shots-\xff/一枚目.png"));
    const std::optional<QString> fresh = chooseFileToSave(nullptr, shown(dir.root()) + "/new.png", QString());
    ASSERT_TRUE(fresh.has_value());
    EXPECT_EQ(nativeFileName(*fresh), folder + QStringLiteral("/一枚目.png").toUtf8());
}

// The portal's chooser (GNOME's and KDE's, and Qt's with the xdgdesktopportal theme)
// answers with URIs; the names chosen there come back byte for byte. The dialogs run
// in a child process whose Qt uses that theme and whose session bus has the tests'
// own FileChooser.
TEST(FileDialogs, ThePortalChooserGivesTheBytesOfTheChosenNames) {
    RawFolder dir;
    dir.file("caf\xe9.lumivane", "project");
    FakeFileChooserPortal portal;
    ASSERT_TRUE(portal.isRunning()) << portal.errorText().toStdString();
    const QString folder = fileUrlFromPath(fileNameFromNative(dir.root()));
    portal.answerOpenFile({folder + "/caf%E9.lumivane"});
    portal.answerSaveFile({folder + "/shot-%FF.png"});

    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", portal.busAddress());
    env.insert("QT_QPA_PLATFORMTHEME", "xdgdesktopportal");
    env.insert("LUMIVANE_PORTAL_CHILD_FOLDER", QString::fromLatin1(dir.root().toHex()));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=FileDialogsPortalChild.*"});
    ASSERT_TRUE(child.waitForStarted(5000));
    // The portal answers from this thread: keep its event loop running.
    const bool finished = QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, 60000);
    if (!finished) {
        child.kill();
        child.waitForFinished(5000);
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    ASSERT_TRUE(finished) << "the child still waits for its dialogs after " << portal.calls().size()
                          << " portal calls:\n"
                          << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    const auto calls = portal.calls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].method, "OpenFile");
    EXPECT_EQ(calls[1].method, "SaveFile");
}

TEST(FileDialogsPortalChild, ChosenNamesComeBackByteForByte) {
    const QByteArray folder = QByteArray::fromHex(qgetenv("LUMIVANE_PORTAL_CHILD_FOLDER"));
    if (folder.isEmpty())
        GTEST_SKIP() << "run by FileDialogs.ThePortalChooserGivesTheBytesOfTheChosenNames";
    // Qt's portal theme asked the portal's version when the application started, and
    // uses Qt's own dialog until the answer is in. The portal answers in order: once
    // this same question is answered, so is Qt's, and the event loop delivers it.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.freedesktop.DBus.Properties", "Get");
    ask << QStringLiteral("org.freedesktop.portal.FileChooser") << QStringLiteral("version");
    const QDBusMessage version = QDBusConnection::sessionBus().call(ask, QDBus::Block, 10000);
    ASSERT_EQ(version.type(), QDBusMessage::ReplyMessage) << version.errorMessage().toStdString();
    QTest::qWait(50);
    const std::optional<QString> opened = chooseFileToOpen(nullptr, QString(), QString());
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(nativeFileName(*opened), folder + "/caf\xe9.lumivane");
    EXPECT_EQ(readNative(*opened), "project");
    const std::optional<QString> saved = chooseFileToSave(nullptr, QStringLiteral("shot.png"), QString());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(nativeFileName(*saved), folder + "/shot-\xff.png");
}
