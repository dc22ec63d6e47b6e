#pragma once
#include "app/AppModel.h"
#include "settings/SettingsHost.h"
#include "updates/AppUpdateController.h"

#include <functional>

namespace lumivane {

// The settings window's view of the application object.
class AppSettingsHost final : public SettingsHost {
public:
    AppSettingsHost(AppModel& model, AppUpdateController& updates, QObject* parent = nullptr);

    AppSettings& settings() override { return model_.settings(); }
    SettingsTab selectedSettingsTab() const override { return tab_; }
    void setSelectedSettingsTab(SettingsTab tab) override;
    void applySettings() override { model_.hotKeys().applySettings(); }
    void useRecommendedShortcuts() override { model_.hotKeys().useRecommendedShortcuts(); }
    QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> shortcutRegistrationFailures() const override {
        return model_.hotKeys().shortcutRegistrationFailures();
    }
    // Hot keys are suspended while any recorder records and re-applied after the last.
    void shortcutRecorderDidBeginRecording() override;
    void shortcutRecorderDidEndRecording() override;
    bool offersTextRecognition() const override;
    bool shortcutsBoundByDesktop() const override { return model_.hotKeys().shortcutsBoundByDesktop(); }
    DesktopShortcuts* desktopShortcuts() override { return model_.hotKeys().desktopShortcuts(); }
    int activeShortcutRecorderCount() const { return recorders_; }
    void openDesktopScreenshotShortcutSettings() override;
    // The XDG autostart entry for the running executable.
    bool launchesAtLogin() const override;
    void setLaunchesAtLogin(bool enabled) override;
    // The checklist in the standard mode, on the model's setup state.
    QWidget* makeSetupChecklistView() override;

    QString updateStatusTitle() const override { return updates_.statusTitle(); }
    QString updateStatusDetail() const override { return updates_.statusDetail(); }
    bool canCheckForUpdates() const override { return updates_.canCheckForUpdates(); }
    bool updateTestToolsEnabled() const override { return updates_.testToolsEnabled(); }
    void checkForUpdates() override;
    void showTestUpdateAlert() override;
    // With the update test flag, shows the test update alert 0.9 s from now.
    void startLaunchTasks();
    static constexpr int testUpdateAlertDelayMs = 900;

    // Shows a modal alert; replaceable for tests. Returns the pressed button (1000...).
    std::function<int(const QString& title, const QString& text, const QStringList& buttons)> showAlert;

private:
    AppModel& model_;
    AppUpdateController& updates_;
    SettingsTab tab_ = SettingsTab::shortcuts;
    int recorders_ = 0;
};

} // namespace lumivane
