#pragma once
#include "platform/GlobalKeyGrabber.h"
#include "shortcuts/Shortcut.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

// The capture shortcuts as system-wide hot keys.
class HotKeyService {
public:
    // Raw values are the hot-key ids.
    enum class Action {
        captureFullScreen = 1,
        captureArea = 2,
        captureWindow = 3,
        captureLastArea = 4,
        captureAreaText = 5
    };
    static std::optional<Action> actionForId(int id);
    static Action actionFor(ShortcutAction action);

    struct RegistrationFailure {
        Action action;
        Shortcut shortcut;
        qint32 status; // window-system status, or duplicateStatus
        friend bool operator==(const RegistrationFailure&, const RegistrationFailure&) = default;
    };
    static constexpr qint32 duplicateStatus = -50;

    explicit HotKeyService(std::unique_ptr<GlobalKeyGrabber> grabber);

    // Replaces every registration; returns the failures known now (duplicates first,
    // then grab failures in action order). Shortcuts without modifiers are skipped
    // silently. Where the desktop answers later, onFailuresChanged gives the whole list
    // again once it does.
    std::vector<RegistrationFailure> registerShortcuts(const std::map<Action, Shortcut>& shortcuts);
    // Releases every key; the connection to the window system stays.
    void unregisterAll();
    static std::vector<RegistrationFailure> duplicateShortcutFailures(const std::map<Action, Shortcut>& shortcuts);

    // The stable name and the description a desktop shortcut service shows for an action.
    static QString actionName(Action action);
    static QString actionDescription(Action action);

    // Called on the UI thread once per press.
    std::function<void(Action)> onAction;
    // The failures of the current registration changed after registerShortcuts returned. UI thread.
    std::function<void(const std::vector<RegistrationFailure>&)> onFailuresChanged;

private:
    void settle(int id, qint32 status);

    std::unique_ptr<GlobalKeyGrabber> grabber_;
    std::map<Action, Shortcut> requested_;
    std::vector<RegistrationFailure> failures_;
};

} // namespace lumivane
