#pragma once
#include <QString>
#include <vector>

namespace lumivane {

// One command bound to a key in the desktop's own keyboard settings.
struct DesktopKeyBinding {
    QString id;          // ours alone, stable: names the binding in the desktop's store
    QString name;        // shown in the desktop's keyboard settings
    QString command;     // run on the key
    QString accelerator; // the desktop's syntax, e.g. "<Shift><Super>2"; empty: no key
    bool operator==(const DesktopKeyBinding&) const = default;
};

// The application's commands in the desktop's custom keyboard shortcuts, where the
// desktop has such a list and the application cannot grab keys itself (GNOME without
// the GlobalShortcuts portal). Only the bindings this interface wrote are ever read
// back, changed or removed; the user's other shortcuts stay as they are. UI thread.
class DesktopKeyBindings {
public:
    virtual ~DesktopKeyBindings() = default;
    // The name of the desktop's settings page, for texts ("GNOME").
    virtual QString desktopName() const = 0;
    // Our bindings as the desktop holds them now, in the desktop's order.
    virtual std::vector<DesktopKeyBinding> bindings() const = 0;
    // Adds each binding or updates the one with its id; ours not named are removed.
    // False when the desktop's store refused.
    virtual bool setBindings(const std::vector<DesktopKeyBinding>& bindings) = 0;
    // Removes every binding of ours.
    virtual bool removeBindings() = 0;
};

} // namespace lumivane
