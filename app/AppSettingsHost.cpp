#include "app/AppSettingsHost.h"
#include "app/Autostart.h"
#include "app/ErrorMessages.h"
#include "app/TextRecognitionController.h"
#include "setup/SetupChecklistView.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace lumivane {

namespace {
int modalAlert(const QString& title, const QString& text, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Information, title, text);
    QList<QAbstractButton*> added;
    for (const QString& b : buttons)
        added << box.addButton(b, QMessageBox::AcceptRole);
    if (buttons.isEmpty())
        box.addButton(QMessageBox::Ok);
    box.exec();
    const qsizetype index = added.indexOf(box.clickedButton());
    return 1000 + int(std::max<qsizetype>(index, 0));
}
} // namespace

AppSettingsHost::AppSettingsHost(AppModel& model, AppUpdateController& updates, QObject* parent)
    : SettingsHost(parent), showAlert(modalAlert), model_(model), updates_(updates) {
    connect(&model.hotKeys(), &HotKeyController::shortcutRegistrationFailuresChanged, this,
            &SettingsHost::shortcutRegistrationFailuresChanged);
}

void AppSettingsHost::setSelectedSettingsTab(SettingsTab tab) {
    if (tab_ == tab)
        return;
    tab_ = tab;
    emit selectedSettingsTabChanged();
}

void AppSettingsHost::shortcutRecorderDidBeginRecording() {
    if (recorders_++ == 0)
        model_.hotKeys().suspend();
}

void AppSettingsHost::shortcutRecorderDidEndRecording() {
    if (recorders_ == 0)
        return;
    if (--recorders_ == 0)
        model_.hotKeys().applySettings();
}

void AppSettingsHost::openDesktopScreenshotShortcutSettings() {
    // The desktops differ in where their keyboard settings live: explain instead.
    const AlertText t = AlertTexts::screenshotShortcutSettingsFallback();
    showAlert(t.title, t.informativeText, t.buttons);
}

bool AppSettingsHost::launchesAtLogin() const {
    return autostart::isEnabled();
}

void AppSettingsHost::setLaunchesAtLogin(bool enabled) {
    QString error;
    if (!autostart::setEnabled(enabled, QCoreApplication::applicationFilePath(), &error))
        showAlert(QStringLiteral("ログイン時の起動を変更できませんでした"), error, {QStringLiteral("OK")});
}

QWidget* AppSettingsHost::makeSetupChecklistView() {
    return new SetupChecklistView(model_.setupHost(), SetupPresentationMode::standard);
}

void AppSettingsHost::checkForUpdates() {
    if (!updates_.canCheckForUpdates())
        return;
    // No update framework on this platform: the configuration alert explains; its
    // second button (test tools only) shows the test alert.
    if (showAlert(updates_.configurationAlertTitle(), updates_.configurationAlertText(),
                  updates_.configurationAlertButtons()) == 1001 &&
        updates_.testToolsEnabled())
        showTestUpdateAlert();
}

void AppSettingsHost::startLaunchTasks() {
    if (!updates_.autoShowTestAlertOnLaunch())
        return;
    QTimer::singleShot(testUpdateAlertDelayMs, this, [this] { showTestUpdateAlert(); });
}

void AppSettingsHost::showTestUpdateAlert() {
    showAlert(updates_.testUpdateAlertTitle(), updates_.testUpdateAlertText(), {});
}

bool AppSettingsHost::offersTextRecognition() const {
    return model_.textRecognition().isAvailable();
}

} // namespace lumivane
