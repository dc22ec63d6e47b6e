#include "app/HotKeyController.h"
#include "app/AppDesktopShortcuts.h"
#include "app/ErrorMessages.h"
#include "settings/AppSettings.h"

#include <QPointer>
#include <QTimer>

namespace lumivane {

HotKeyController::HotKeyController(AppSettings& settings, const AppServices& services, QObject* parent)
    : QObject(parent), settings_(settings), services_(services) {
    QPointer<HotKeyController> self(this);
    if (services_.hotKeys) {
        services_.hotKeys->onAction = [self](HotKeyService::Action action) {
            if (self)
                emit self->triggered(action);
        };
        // The desktop's own answer to a binding, after registerShortcuts returned.
        services_.hotKeys->onFailuresChanged = [self](const std::vector<HotKeyService::RegistrationFailure>& failures) {
            if (self)
                self->showRegistrationFailures(failures);
        };
    }
    if (services_.subscribeToActivation) {
        services_.subscribeToActivation([self] {
            // Not while a recorder holds the keys: its end applies the settings.
            if (self && !self->suspended_)
                self->applySettings();
        });
    }
    if (shortcutsBoundByDesktop() && services_.desktop->makeDesktopKeyBindings)
        if (auto bindings = services_.desktop->makeDesktopKeyBindings())
            desktopShortcuts_ = std::make_unique<AppDesktopShortcuts>(settings_, std::move(bindings));
}

HotKeyController::~HotKeyController() = default;

std::vector<HotKeyService::RegistrationFailure> HotKeyController::registerConfiguredShortcuts() {
    if (!services_.hotKeys) {
        // The desktop binds the keys: nothing can fail here, and an old error goes as after a registration.
        showRegistrationFailures({});
        return {};
    }
    std::map<HotKeyService::Action, Shortcut> map;
    // Actions without a key (optional ones the user left unset) are not bound.
    for (ShortcutAction a : allShortcutActions)
        if (!settings_.shortcut(a).isEmpty())
            map[HotKeyService::actionFor(a)] = settings_.shortcut(a);
    const auto failures = services_.hotKeys->registerShortcuts(map);
    showRegistrationFailures(failures);
    return failures;
}

bool HotKeyController::shortcutsBoundByDesktop() const {
    return !services_.hotKeys && services_.desktop && services_.desktop->windowSystem != WindowSystem::none;
}

DesktopShortcuts* HotKeyController::desktopShortcuts() const {
    return desktopShortcuts_.get();
}

void HotKeyController::showRegistrationFailures(const std::vector<HotKeyService::RegistrationFailure>& failures) {
    QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> byAction;
    for (const auto& f : failures)
        byAction.insert(f.action, f);
    if (byAction != failures_) {
        failures_ = byAction;
        emit shortcutRegistrationFailuresChanged();
    }
    if (failures.empty()) {
        emit registrationMessageChanged(std::nullopt);
        return;
    }
    std::vector<ShortcutAction> failed;
    for (ShortcutAction a : allShortcutActions)
        if (byAction.contains(HotKeyService::actionFor(a)))
            failed.push_back(a);
    emit registrationMessageChanged(shortcutRegistrationFailureMessage(failed));
}

void HotKeyController::stopReapplying() {
    if (reapplyTask_) {
        reapplyTask_->stop();
        reapplyTask_->deleteLater();
        reapplyTask_ = nullptr;
    }
}

void HotKeyController::applySettings() {
    suspended_ = false;
    stopReapplying();
    if (registerConfiguredShortcuts().empty())
        return;
    auto* task = new QTimer(this);
    task->setSingleShot(true);
    reapplyTask_ = task;
    auto attempts = std::make_shared<int>(0);
    connect(task, &QTimer::timeout, this, [this, task, attempts] {
        const bool failed = !registerConfiguredShortcuts().empty();
        if (failed && ++*attempts == 1) {
            task->start(1700);
            return;
        }
        if (reapplyTask_ == task)
            reapplyTask_ = nullptr;
        task->deleteLater();
    });
    task->start(800);
}

void HotKeyController::suspend() {
    suspended_ = true;
    stopReapplying();
    if (services_.hotKeys)
        services_.hotKeys->unregisterAll();
}

void HotKeyController::useRecommendedShortcuts() {
    settings_.setShortcut(defaultShortcut(ShortcutAction::captureFullScreen), ShortcutAction::captureFullScreen);
    settings_.setShortcut(defaultShortcut(ShortcutAction::captureArea), ShortcutAction::captureArea);
    applySettings();
}

} // namespace lumivane
