// The "ログイン時に起動" switch of the settings window writes and removes the XDG
// autostart entry and leaves the settings document alone.
#include "app/Autostart.h"
#include "MemorySettingsStore.h"
#include "app/AppModel.h"
#include "app/AppSettingsHost.h"
#include "app/Application.h"
#include "platform/x11/X11Backend.h"
#include "settings/SettingsView.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

// Points XDG_CONFIG_HOME at a fresh folder for one test.
struct PrivateConfigHome {
    PrivateConfigHome() : previous(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", dir.path().toUtf8()); }
    ~PrivateConfigHome() { qputenv("XDG_CONFIG_HOME", previous); }
    QTemporaryDir dir;
    QByteArray previous;
};

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(Autostart, SwitchWritesAndRemovesTheEntryAndNotTheSettings) {
    PrivateConfigHome home;
    auto desktop = makeX11Backend();
    ASSERT_TRUE(desktop);
    AppModel* modelPtr = nullptr;
    AppServices services = makeDesktopServices(desktop, [&] { return modelPtr; });
    int settingsWrites = 0;
    AppModel model(std::make_unique<AppSettings>(std::make_unique<test::MemorySettingsStore>(&settingsWrites)),
                   services);
    modelPtr = &model;
    AppUpdateController updates(AppUpdateController::BundleInfo{}, {});
    AppSettingsHost host(model, updates);
    QStringList alerts;
    host.showAlert = [&](const QString& title, const QString&, const QStringList&) {
        alerts << title;
        return 1000;
    };
    host.setSelectedSettingsTab(SettingsTab::general);
    SettingsView view(host);
    view.resize(760, 540);
    view.show();
    auto* box = view.findChild<QCheckBox*>("launchAtLogin");
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());
    const int writesBefore = settingsWrites;

    const QString entry = home.dir.filePath("autostart/io.github.lumivane.Lumivane.desktop");
    EXPECT_EQ(autostart::entryPath(), entry);
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(QFile::exists(entry));
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(readAll(entry).contains("Exec=" + QCoreApplication::applicationFilePath() + "\n"));
    // The entry lapses with the executable (a removed package leaves no broken login item).
    EXPECT_TRUE(readAll(entry).contains("TryExec=" + QCoreApplication::applicationFilePath() + "\n"));
    EXPECT_EQ(QProcess::execute("desktop-file-validate", {entry}), 0);
    EXPECT_TRUE(autostart::isEnabled());

    // A new window reads the state from the entry.
    SettingsView again(host);
    EXPECT_TRUE(again.findChild<QCheckBox*>("launchAtLogin")->isChecked());

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(settingsWrites, writesBefore);
    EXPECT_TRUE(alerts.isEmpty());

    // The autostart folder cannot be made: the switch stays off and says why.
    ASSERT_TRUE(QDir(home.dir.path()).rmdir("autostart"));
    QFile blocker(home.dir.filePath("autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(alerts, QStringList{"ログイン時の起動を変更できませんでした"});
}

TEST(Autostart, HiddenEntriesAreOffAndOddPathsAreQuoted) {
    PrivateConfigHome home;
    ASSERT_TRUE(autostart::setEnabled(true, "/opt/My Apps/lumi$vane"));
    const QString text = readAll(autostart::entryPath());
    EXPECT_TRUE(text.contains(R"(Exec="/opt/My Apps/lumi\\$vane")"
                              "\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("TryExec=/opt/My Apps/lumi$vane\n")) << text.toStdString();
    EXPECT_EQ(QProcess::execute("desktop-file-validate", {autostart::entryPath()}), 0);

    // A desktop that turned the entry off with Hidden=true.
    QFile f(autostart::entryPath());
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("Hidden = true\n");
    f.close();
    EXPECT_FALSE(autostart::isEnabled());
    ASSERT_TRUE(autostart::setEnabled(true, "/usr/bin/lumivane"));
    EXPECT_TRUE(autostart::isEnabled());
    ASSERT_TRUE(autostart::setEnabled(false, {}));
    EXPECT_FALSE(QFile::exists(autostart::entryPath()));
    EXPECT_TRUE(autostart::setEnabled(false, {})); // already gone
}

} // namespace
