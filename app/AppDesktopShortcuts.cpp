#include "app/AppDesktopShortcuts.h"
#include "settings/AppSettings.h"
#include "settings/ShortcutCommandsBox.h"
#include "shortcuts/GnomeAccelerator.h"

namespace lumivane {

namespace {

struct OurCommand {
    const char* id;
    ShortcutAction action;
    const char* title;
};
// In the order of ShortcutCommandsBox::commands().
constexpr OurCommand ourCommands[] = {{"capture-area", ShortcutAction::captureArea, "範囲を選択して撮影"},
                                      {"capture-full", ShortcutAction::captureFullScreen, "全画面を撮影"}};

} // namespace

AppDesktopShortcuts::AppDesktopShortcuts(AppSettings& settings, std::unique_ptr<DesktopKeyBindings> bindings,
                                         QObject* parent)
    : DesktopShortcuts(parent), settings_(settings), bindings_(std::move(bindings)) {
    connect(&settings_, &AppSettings::changed, this, &AppDesktopShortcuts::follow);
}

std::vector<DesktopKeyBinding> AppDesktopShortcuts::wanted() const {
    const QStringList commandLines = ShortcutCommandsBox::commands();
    std::vector<DesktopKeyBinding> out;
    for (size_t i = 0; i < std::size(ourCommands); ++i) {
        const OurCommand& c = ourCommands[i];
        out.push_back({QString::fromLatin1(c.id), QStringLiteral("Lumivane: %1").arg(QString::fromUtf8(c.title)),
                       commandLines.value(qsizetype(i)),
                       gnomeAccelerator(settings_.shortcut(c.action)).value_or(QString())});
    }
    return out;
}

std::vector<DesktopShortcuts::Command> AppDesktopShortcuts::commands() const {
    const std::vector<DesktopKeyBinding> held = bindings_->bindings();
    const std::vector<DesktopKeyBinding> want = wanted();
    std::vector<Command> out;
    for (size_t i = 0; i < want.size(); ++i) {
        Command c{QString::fromUtf8(ourCommands[i].title), want[i].command, {}};
        for (const DesktopKeyBinding& h : held)
            if (h.id == want[i].id)
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
