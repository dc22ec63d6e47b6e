#pragma once
#include "core/ImageFormats.h"
#include "shortcuts/HotKeyService.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QWidget>
#include <optional>

namespace lumivane {

class AppSettings;
class DesktopShortcuts;

enum class SettingsTab { general, shortcuts, screenshots, annotate, advanced, about };
inline constexpr SettingsTab allSettingsTabs[] = {SettingsTab::general,     SettingsTab::shortcuts,
                                                  SettingsTab::screenshots, SettingsTab::annotate,
                                                  SettingsTab::advanced,    SettingsTab::about};

inline QString rawValue(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("general");
    case SettingsTab::shortcuts:
        return QStringLiteral("shortcuts");
    case SettingsTab::screenshots:
        return QStringLiteral("screenshots");
    case SettingsTab::annotate:
        return QStringLiteral("annotate");
    case SettingsTab::advanced:
        return QStringLiteral("advanced");
    case SettingsTab::about:
        return QStringLiteral("about");
    }
    return {};
}
inline std::optional<SettingsTab> settingsTabFromRaw(const QString& raw) {
    for (SettingsTab tab : allSettingsTabs)
        if (rawValue(tab) == raw)
            return tab;
    return std::nullopt;
}
inline QString title(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("一般");
    case SettingsTab::shortcuts:
        return QStringLiteral("ショートカット");
    case SettingsTab::screenshots:
        return QStringLiteral("撮影");
    case SettingsTab::annotate:
        return QStringLiteral("注釈");
    case SettingsTab::advanced:
        return QStringLiteral("詳細");
    case SettingsTab::about:
        return QStringLiteral("情報");
    }
    return {};
}
// Symbol name of the tab button.
inline QString symbolName(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("gearshape");
    case SettingsTab::shortcuts:
        return QStringLiteral("command");
    case SettingsTab::screenshots:
        return QStringLiteral("camera");
    case SettingsTab::annotate:
        return QStringLiteral("pencil");
    case SettingsTab::advanced:
        return QStringLiteral("tools");
    case SettingsTab::about:
        return QStringLiteral("info");
    }
    return {};
}

// What the settings window needs from the application object. The application
// model implements it; tests use an in-memory host. UI thread only.
class SettingsHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SettingsHost() override = default;

    virtual AppSettings& settings() = 0;

    virtual SettingsTab selectedSettingsTab() const = 0;
    virtual void setSelectedSettingsTab(SettingsTab tab) = 0;

    // Re-registers the hot keys from the settings.
    virtual void applySettings() = 0;
    virtual void useRecommendedShortcuts() = 0;
    virtual QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> shortcutRegistrationFailures() const = 0;
    // A shortcut recorder started / stopped recording: hot keys are suspended while
    // at least one records and re-applied when the last one stops.
    virtual void shortcutRecorderDidBeginRecording() = 0;
    virtual void shortcutRecorderDidEndRecording() = 0;
    // The application cannot register global shortcuts on this desktop: the page shows
    // the capture commands to bind in the desktop's keyboard settings.
    virtual bool shortcutsBoundByDesktop() const { return false; }
    // Where the desktop's keyboard settings can take the commands from us (GNOME): the
    // page registers them there instead of listing them. Null elsewhere.
    virtual DesktopShortcuts* desktopShortcuts() { return nullptr; }

    // Start at login. The state lives outside the settings document (the desktop's
    // autostart entry); a failed change reports itself and leaves the state as it is.
    // Whether text recognition can be offered (its engine is installed).
    virtual bool offersTextRecognition() const { return false; }

    virtual bool launchesAtLogin() const { return false; }
    virtual void setLaunchesAtLogin(bool enabled) {}

    // The setup checklist shown on the advanced page; null leaves the page empty.
    virtual QWidget* makeSetupChecklistView() { return nullptr; }

    // Opens the desktop's keyboard-shortcut settings (or explains where they are).
    virtual void openDesktopScreenshotShortcutSettings() = 0;

    // The in-application update section of the about page.
    virtual QString updateStatusTitle() const = 0;
    virtual QString updateStatusDetail() const = 0;
    virtual bool canCheckForUpdates() const = 0;
    virtual bool updateTestToolsEnabled() const = 0;
    virtual void checkForUpdates() = 0;
    virtual void showTestUpdateAlert() = 0;

signals:
    void selectedSettingsTabChanged();
    void shortcutRegistrationFailuresChanged();
    void updateStatusChanged();
};

} // namespace lumivane
