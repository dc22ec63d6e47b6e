#include "shortcuts/HotKeyService.h"

#include "shortcuts/KeyMapping.h"

#include <algorithm>

namespace lumivane {

std::optional<HotKeyService::Action> HotKeyService::actionForId(int id) {
    if (id >= 1 && id <= 5)
        return Action(id);
    return std::nullopt;
}

HotKeyService::Action HotKeyService::actionFor(ShortcutAction action) {
    switch (action) {
    case ShortcutAction::captureFullScreen:
        return Action::captureFullScreen;
    case ShortcutAction::captureArea:
        return Action::captureArea;
    case ShortcutAction::captureWindow:
        return Action::captureWindow;
    case ShortcutAction::captureLastArea:
        return Action::captureLastArea;
    case ShortcutAction::captureAreaText:
        return Action::captureAreaText;
    }
    return Action::captureFullScreen;
}

HotKeyService::HotKeyService(std::unique_ptr<GlobalKeyGrabber> grabber) : grabber_(std::move(grabber)) {
    grabber_->onPressed = [this](int id) {
        if (auto action = actionForId(id); action && onAction)
            onAction(*action);
    };
    grabber_->onGrabSettled = [this](int id, qint32 status) { settle(id, status); };
}

QString HotKeyService::actionName(Action action) {
    switch (action) {
    case Action::captureFullScreen:
        return QStringLiteral("capture-full-screen");
    case Action::captureArea:
        return QStringLiteral("capture-area");
    case Action::captureWindow:
        return QStringLiteral("capture-window");
    case Action::captureLastArea:
        return QStringLiteral("capture-last-area");
    case Action::captureAreaText:
        return QStringLiteral("capture-area-text");
    }
    return {};
}

QString HotKeyService::actionDescription(Action action) {
    switch (action) {
    case Action::captureFullScreen:
        return QStringLiteral("全画面を撮影");
    case Action::captureArea:
        return QStringLiteral("範囲を選択して撮影");
    case Action::captureWindow:
        return QStringLiteral("ウィンドウを撮影");
    case Action::captureLastArea:
        return QStringLiteral("前回の範囲を撮影");
    case Action::captureAreaText:
        return QStringLiteral("範囲を選択してテキストを読み取る");
    }
    return {};
}

std::vector<HotKeyService::RegistrationFailure>
HotKeyService::duplicateShortcutFailures(const std::map<Action, Shortcut>& shortcuts) {
    std::vector<RegistrationFailure> failures;
    for (const auto& [action, shortcut] : shortcuts) {
        if (shortcut.isEmpty())
            continue; // no key: nothing to share
        int users = 0;
        for (const auto& [other, otherShortcut] : shortcuts)
            if (otherShortcut == shortcut)
                ++users;
        if (users > 1)
            failures.push_back({action, shortcut, duplicateStatus});
    }
    return failures;
}

std::vector<HotKeyService::RegistrationFailure>
HotKeyService::registerShortcuts(const std::map<Action, Shortcut>& shortcuts) {
    grabber_->ungrabAll();
    requested_.clear();
    std::vector<RegistrationFailure> failures = duplicateShortcutFailures(shortcuts);
    std::map<Action, Shortcut> remaining = shortcuts;
    for (const RegistrationFailure& f : failures)
        remaining.erase(f.action);
    failures_ = failures;
    if (remaining.empty()) {
        grabber_->commitGrabs();
        return failures;
    }

    if (const qint32 status = grabber_->install(); status != GlobalKeyGrabber::statusOk) {
        for (const auto& [action, shortcut] : remaining)
            failures.push_back({action, shortcut, status});
        failures_ = failures;
        return failures;
    }
    for (const auto& [action, shortcut] : remaining) {
        if (shortcut.modifiers == 0)
            continue;
        const int id = static_cast<int>(action);
        grabber_->describe(id, actionName(action), actionDescription(action));
        // The physical key, so the grab holds whatever the keyboard layout.
        const auto evdev = evdevCodeForKeyCode(shortcut.keyCode);
        const qint32 status = evdev ? grabber_->grab(*evdev, x11ModifierMaskForModifiers(shortcut.modifiers), id)
                                    : GlobalKeyGrabber::statusKeyNotOnKeyboard;
        if (status == GlobalKeyGrabber::statusOk || status == GlobalKeyGrabber::statusPending)
            requested_[action] = shortcut;
        else
            failures.push_back({action, shortcut, status});
    }
    failures_ = failures;
    grabber_->commitGrabs();
    return failures;
}

void HotKeyService::settle(int id, qint32 status) {
    const auto action = actionForId(id);
    if (!action || !requested_.contains(*action))
        return;
    std::vector<RegistrationFailure> failures;
    for (const RegistrationFailure& f : failures_)
        if (f.action != *action)
            failures.push_back(f);
    if (status != GlobalKeyGrabber::statusOk)
        failures.push_back({*action, requested_.at(*action), status});
    std::sort(failures.begin(), failures.end(), [](const auto& a, const auto& b) {
        return (a.status == duplicateStatus) != (b.status == duplicateStatus) ? a.status == duplicateStatus
                                                                              : a.action < b.action;
    });
    if (failures == failures_)
        return;
    failures_ = std::move(failures);
    if (onFailuresChanged)
        onFailuresChanged(failures_);
}

void HotKeyService::unregisterAll() {
    requested_.clear();
    grabber_->ungrabAll();
    grabber_->commitGrabs();
}

} // namespace lumivane
