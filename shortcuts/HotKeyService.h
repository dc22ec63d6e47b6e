#pragma once
#include "platform/GlobalKeyGrabber.h"
#include "shortcuts/Shortcut.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

// The two capture shortcuts as system-wide hot keys.
class HotKeyService {
public:
    // Raw values are the hot-key ids.
    enum class Action { captureFullScreen = 1, captureArea = 2 };
    static std::optional<Action> actionForId(int id);
    static Action actionFor(ShortcutAction action);

    struct RegistrationFailure {
        Action action;
        Shortcut shortcut;
        qint32 status;  // window-system status, or duplicateStatus
        friend bool operator==(const RegistrationFailure&, const RegistrationFailure&) = default;
    };
    static constexpr qint32 duplicateStatus = -50;

    explicit HotKeyService(std::unique_ptr<GlobalKeyGrabber> grabber);

    // Replaces every registration; returns the failures (duplicates first, then
    // grab failures in action order). Shortcuts without modifiers are skipped silently.
    std::vector<RegistrationFailure> registerShortcuts(const std::map<Action, Shortcut>& shortcuts);
    void unregisterAll();
    static std::vector<RegistrationFailure> duplicateShortcutFailures(const std::map<Action, Shortcut>& shortcuts);

    // Called on the UI thread once per press.
    std::function<void(Action)> onAction;

private:
    std::unique_ptr<GlobalKeyGrabber> grabber_;
};

} // namespace lumivane
