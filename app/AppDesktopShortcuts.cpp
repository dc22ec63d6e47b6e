#include "app/AppDesktopShortcuts.h"
#include "settings/AppSettings.h"
#include "settings/ShortcutCommandsBox.h"
#include "shortcuts/GnomeAccelerator.h"

namespace lumivane {

namespace {

struct OurCommand {
    const char* id;
    ShortcutAction action;
    bool optional; // written only while it has a key in our settings
};
// On GNOME a window capture opens the desktop's own screenshot dialog.
constexpr OurCommand ourCommands[] = {{"capture-area", ShortcutAction::captureArea, false},
                                      {"capture-full", ShortcutAction::captureFullScreen, false},
                                      {"capture-window", ShortcutAction::captureWindow, true},
                                      {"capture-last", ShortcutAction::captureLastArea, true},
                                      {"capture-area-text", ShortcutAction::captureAreaText, true}};

DesktopKeyBinding bindingOf(const OurCommand& c, const AppSettings& settings) {
    const ShortcutCommandsBox::Command command = ShortcutCommandsBox::command(c.action);
    return {QString::fromLatin1(c.id), QStringLiteral("Lumivane: %1").arg(command.title), command.commandLine,
            gnomeAccelerator(settings.shortcut(c.action)).value_or(QString())};
}

} // namespace

AppDesktopShortcuts::AppDesktopShortcuts(AppSettings& settings, std::unique_ptr<DesktopKeyBindings> bindings,
                                         QObject* parent)
    : DesktopShortcuts(parent), settings_(settings), bindings_(std::move(bindings)) {
    connect(&settings_, &AppSettings::changed, this, &AppDesktopShortcuts::follow);
}

// An optional command without a key stays out of the desktop's list: no empty entries
// in its keyboard settings.
std::vector<DesktopKeyBinding> AppDesktopShortcuts::wanted() const {
    std::vector<DesktopKeyBinding> out;
    for (const OurCommand& c : ourCommands) {
        DesktopKeyBinding b = bindingOf(c, settings_);
        if (!c.optional || !b.accelerator.isEmpty())
            out.push_back(std::move(b));
    }
    return out;
}

std::vector<DesktopShortcuts::Command> AppDesktopShortcuts::commands() const {
    const std::vector<DesktopKeyBinding> held = bindings_->bindings();
    std::vector<Command> out;
    for (const OurCommand& oc : ourCommands) {
        const ShortcutCommandsBox::Command command = ShortcutCommandsBox::command(oc.action);
        Command c{command.title, command.commandLine, {}};
        for (const DesktopKeyBinding& h : held)
            if (h.id == QLatin1String(oc.id))
                c.accelerator = h.accelerator;
        out.push_back(c);
    }
    return out;
}

void AppDesktopShortcuts::registerShortcuts() {
    write(wanted());
}

void AppDesktopShortcuts::removeShortcuts() {
    if (bindings_->removeBindings())
        failure_.reset();
    else
        failure_ = QStringLiteral("%1 のキーボード設定からショートカットを削除できませんでした。").arg(desktopName());
    emit changed();
}

void AppDesktopShortcuts::follow() {
    const std::vector<DesktopKeyBinding> held = bindings_->bindings();
    if (held.empty())
        return;
    const std::vector<DesktopKeyBinding> want = wanted();
    if (held != want)
        write(want);
}

void AppDesktopShortcuts::write(const std::vector<DesktopKeyBinding>& bindings) {
    if (bindings_->setBindings(bindings))
        failure_.reset();
    else
        failure_ = QStringLiteral("%1 のキーボード設定にショートカットを書き込めませんでした。").arg(desktopName());
    emit changed();
}

} // namespace lumivane
