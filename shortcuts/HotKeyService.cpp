#include "shortcuts/HotKeyService.h"

#include "shortcuts/KeyMapping.h"

namespace lumivane {

std::optional<HotKeyService::Action> HotKeyService::actionForId(int id) {
    if (id == 1) return Action::captureFullScreen;
    if (id == 2) return Action::captureArea;
    return std::nullopt;
}

HotKeyService::Action HotKeyService::actionFor(ShortcutAction action) {
    return action == ShortcutAction::captureFullScreen ? Action::captureFullScreen : Action::captureArea;
}

HotKeyService::HotKeyService(std::unique_ptr<GlobalKeyGrabber> grabber) : grabber_(std::move(grabber)) {
    grabber_->onPressed = [this](int id) {
        if (auto action = actionForId(id); action && onAction) onAction(*action);
    };
}

std::vector<HotKeyService::RegistrationFailure>
HotKeyService::duplicateShortcutFailures(const std::map<Action, Shortcut>& shortcuts) {
    std::vector<RegistrationFailure> failures;
    for (const auto& [action, shortcut] : shortcuts) {
        int users = 0;
        for (const auto& [other, otherShortcut] : shortcuts)
            if (otherShortcut == shortcut) ++users;
        if (users > 1) failures.push_back({action, shortcut, duplicateStatus});
    }
    return failures;
}

std::vector<HotKeyService::RegistrationFailure> HotKeyService::registerShortcuts(const std::map<Action, Shortcut>& shortcuts) {
    unregisterAll();
    std::vector<RegistrationFailure> failures = duplicateShortcutFailures(shortcuts);
    std::map<Action, Shortcut> remaining = shortcuts;
    for (const RegistrationFailure& f : failures) remaining.erase(f.action);
    if (remaining.empty()) return failures;

    if (const qint32 status = grabber_->install(); status != GlobalKeyGrabber::statusOk) {
        for (const auto& [action, shortcut] : remaining) failures.push_back({action, shortcut, status});
        return failures;
    }
    for (const auto& [action, shortcut] : remaining) {
        if (shortcut.modifiers == 0) continue;
        // The physical key, so the grab holds whatever the keyboard layout.
        const auto evdev = evdevCodeForKeyCode(shortcut.keyCode);
        const qint32 status = evdev ? grabber_->grab(*evdev, x11ModifierMaskForModifiers(shortcut.modifiers),
                                                     static_cast<int>(action))
                                    : GlobalKeyGrabber::statusKeyNotOnKeyboard;
        if (status != GlobalKeyGrabber::statusOk) failures.push_back({action, shortcut, status});
    }
    return failures;
}

void HotKeyService::unregisterAll() {
    grabber_->ungrabAll();
    grabber_->uninstall();
}

} // namespace lumivane
