#pragma once
#include "shortcuts/Shortcut.h"

#include <QFrame>
#include <optional>

class QLabel;
class QPushButton;

namespace lumivane {

class SettingsHost;
class ShortcutRecorder;

// The name of a capture action on the shortcuts page ("全画面を撮影").
QString shortcutActionTitle(ShortcutAction action);

// One capture shortcut: title, description, the desktop screenshot key it may
// collide with, the recorder and, when it applies, the conflict warning.
class ShortcutRow : public QFrame {
    Q_OBJECT
public:
    ShortcutRow(SettingsHost& host, ShortcutAction action, QString title, QString description,
                std::optional<Shortcut> desktopStandardShortcut, QWidget* parent = nullptr);
    void refresh();

    ShortcutAction action() const { return action_; }
    ShortcutRecorder* recorder() const { return recorder_; }
    bool isWarningShown() const;
    QString warningTitle() const;
    // The note under the row while a key of the other action is refused.
    bool isRefusalShown() const;
    QString refusalText() const;
    // The warning applies to a registration failure or to the desktop's screenshot keys exactly.
    static std::optional<QString> conflictWarningTitle(const Shortcut& shortcut, bool hasRegistrationFailure);

private:
    SettingsHost& host_;
    ShortcutAction action_;
    std::optional<Shortcut> desktopStandardShortcut_;
    ShortcutRecorder* recorder_ = nullptr;
    QWidget* clear_ = nullptr; // optional actions: takes the key away
    QFrame* warning_ = nullptr;
    QLabel* warningTitle_ = nullptr;
    QLabel* refusal_ = nullptr;

    bool acceptsShortcut(const Shortcut& shortcut);
};

} // namespace lumivane
