#pragma once
#include "platform/DesktopKeyBindings.h"
#include "settings/DesktopShortcutsBox.h"

#include <memory>

namespace lumivane {

class AppSettings;

// The capture commands in the desktop's keyboard settings, with the keys of the
// settings. Once registered they follow every key change; removing them takes only
// ours away. UI thread.
class AppDesktopShortcuts final : public DesktopShortcuts {
    Q_OBJECT
public:
    AppDesktopShortcuts(AppSettings& settings, std::unique_ptr<DesktopKeyBindings> bindings, QObject* parent = nullptr);

    QString desktopName() const override { return bindings_->desktopName(); }
    std::vector<Command> commands() const override;
    bool registered() const override { return !bindings_->bindings().empty(); }
    void registerShortcuts() override;
    void removeShortcuts() override;
    std::optional<QString> failure() const override { return failure_; }

    // What the settings ask the desktop to hold.
    std::vector<DesktopKeyBinding> wanted() const;

private:
    // After a settings change: ours, where registered, take the new keys.
    void follow();
    void write(const std::vector<DesktopKeyBinding>& bindings);

    AppSettings& settings_;
    std::unique_ptr<DesktopKeyBindings> bindings_;
    std::optional<QString> failure_;
};

} // namespace lumivane
