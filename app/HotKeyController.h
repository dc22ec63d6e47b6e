#pragma once
#include "app/AppServices.h"

#include <QMap>
#include <QObject>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace lumivane {

class AppDesktopShortcuts;
class AppSettings;

// The capture hot keys: registers the configured shortcuts (again on activation, and
// twice more when a key is busy), keeps the failures, pauses while a shortcut is
// recorded. Where the desktop binds the keys itself it offers the desktop's commands.
// UI thread.
class HotKeyController : public QObject {
    Q_OBJECT
public:
    HotKeyController(AppSettings& settings, const AppServices& services, QObject* parent = nullptr);
    ~HotKeyController() override;

    // Registers the configured shortcuts; a key busy now gets two more attempts, 0.8 s and 2.5 s later.
    void applySettings();
    std::vector<HotKeyService::RegistrationFailure> registerConfiguredShortcuts();
    void showRegistrationFailures(const std::vector<HotKeyService::RegistrationFailure>& failures);
    // A desktop where the application registers no hot keys of its own (Wayland without
    // a GlobalShortcuts portal): the user binds the capture commands there.
    bool shortcutsBoundByDesktop() const;
    // The commands in the desktop's keyboard settings, where it takes them from us (GNOME); else null.
    DesktopShortcuts* desktopShortcuts() const;
    void useRecommendedShortcuts();
    // Releases every hot key (while a shortcut is being recorded); applySettings() restores them.
    void suspend();
    const QMap<HotKeyService::Action, HotKeyService::RegistrationFailure>& shortcutRegistrationFailures() const {
        return failures_;
    }

signals:
    void triggered(HotKeyService::Action action);
    void shortcutRegistrationFailuresChanged();
    // What the user is told about the registration: nothing once every key is registered.
    void registrationMessageChanged(const std::optional<QString>& message);

private:
    void stopReapplying();

    AppSettings& settings_;
    const AppServices& services_;
    std::unique_ptr<AppDesktopShortcuts> desktopShortcuts_;
    QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> failures_;
    QTimer* reapplyTask_ = nullptr;
    bool suspended_ = false; // a shortcut recorder is capturing keys
};

} // namespace lumivane
