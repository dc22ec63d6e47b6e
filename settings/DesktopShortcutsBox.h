#pragma once
#include <QFrame>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace lumivane {

// The capture commands as custom shortcuts of the desktop's own keyboard settings
// (GNOME without the GlobalShortcuts portal). UI thread.
class DesktopShortcuts : public QObject {
    Q_OBJECT
public:
    struct Command {
        QString title;       // what the command does
        QString command;     // "lumivane capture area"
        QString accelerator; // the key the desktop binds to it now, in its syntax; empty: not bound by us
    };
    using QObject::QObject;

    virtual QString desktopName() const = 0;
    // Our commands in display order, with what the desktop holds for each.
    virtual std::vector<Command> commands() const = 0;
    // Whether any of our commands is in the desktop's list.
    virtual bool registered() const = 0;
    // Writes both commands with the keys of the settings; they follow later key changes.
    virtual void registerShortcuts() = 0;
    virtual void removeShortcuts() = 0;
    // Why the last change failed (Japanese), if it did.
    virtual std::optional<QString> failure() const = 0;

signals:
    void changed();
};

// Shows what the desktop binds for each command and one button that registers the
// commands there or removes them again.
class DesktopShortcutsBox : public QFrame {
    Q_OBJECT
public:
    explicit DesktopShortcutsBox(DesktopShortcuts& shortcuts, QWidget* parent = nullptr);

    QPushButton* registerButton() const { return register_; }
    QPushButton* removeButton() const { return remove_; }
    void refresh();

private:
    DesktopShortcuts& shortcuts_;
    std::vector<QLabel*> keys_;
    QLabel* failure_ = nullptr;
    QPushButton* register_ = nullptr;
    QPushButton* remove_ = nullptr;
};

} // namespace lumivane
