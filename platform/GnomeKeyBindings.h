#pragma once
#include "platform/DesktopKeyBindings.h"

#include <memory>

namespace lumivane {

// GNOME's custom keyboard shortcuts: the GSettings key custom-keybindings of
// org.gnome.settings-daemon.plugins.media-keys lists one settings path per shortcut,
// each holding name, command and binding of the relocatable schema
// org.gnome.settings-daemon.plugins.media-keys.custom-keybinding. Ours live under
// paths of our own (".../custom-keybindings/lumivane-<id>/"), which is how they are
// told apart from the user's.
class GnomeKeyBindings final : public DesktopKeyBindings {
public:
    // Null where the schemas are not installed (not GNOME).
    static std::unique_ptr<GnomeKeyBindings> open();
    ~GnomeKeyBindings() override;

    QString desktopName() const override { return QStringLiteral("GNOME"); }
    std::vector<DesktopKeyBinding> bindings() const override;
    bool setBindings(const std::vector<DesktopKeyBinding>& bindings) override;
    bool removeBindings() override;

    // The settings path of one of our bindings.
    static QString pathFor(const QString& id);

private:
    struct Settings;
    explicit GnomeKeyBindings(std::unique_ptr<Settings> settings);
    std::unique_ptr<Settings> settings_;
};

} // namespace lumivane
