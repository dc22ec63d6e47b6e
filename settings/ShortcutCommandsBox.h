#pragma once
#include "shortcuts/Shortcut.h"

#include <QFrame>
#include <QString>
#include <vector>

namespace lumivane {

// The capture commands to bind in the desktop's own keyboard settings, each
// selectable with a button that copies it. Shown where the application cannot
// register global shortcuts itself.
class ShortcutCommandsBox : public QFrame {
public:
    // Without text recognition installed, its command is left out.
    explicit ShortcutCommandsBox(bool withTextCommand, QWidget* parent = nullptr);

    // A capture a running instance starts on a command line.
    struct Command {
        ShortcutAction action;
        QString title;       // as in the tray menu
        QString commandLine; // "lumivane capture area"
    };
    // Every capture command, in the order shown.
    static std::vector<Command> commands();
    static Command command(ShortcutAction action);
};

} // namespace lumivane
