#pragma once
#include <QFrame>
#include <QString>
#include <QStringList>

namespace lumivane {

// The capture commands to bind in the desktop's own keyboard settings, each
// selectable with a button that copies it. Shown where the application cannot
// register global shortcuts itself.
class ShortcutCommandsBox : public QFrame {
public:
    explicit ShortcutCommandsBox(QWidget* parent = nullptr);

    // The commands a running instance answers ("lumivane capture area", ...), in the order shown.
    static QStringList commands();
};

} // namespace lumivane
