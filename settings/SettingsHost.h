#pragma once
#include "settings/SettingsTypes.h"
#include "shortcuts/HotKeyService.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <optional>

namespace lumivane {

class AppSettings;

enum class SettingsTab { general, shortcuts, screenshots, annotate, advanced, about };

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

    // Opens the desktop's keyboard-shortcut settings (or explains where they are).
    virtual void openMacOSScreenshotShortcutSettings() = 0;

signals:
    void selectedSettingsTabChanged();
    void shortcutRegistrationFailuresChanged();
};

} // namespace lumivane
