#pragma once
#include "setup/SetupHost.h"

#include <QFrame>
#include <QWidget>
#include <map>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace lumivane {

// One checklist item: status icon, title, status badge, purpose, detail and buttons.
class SetupItemRow : public QFrame {
    Q_OBJECT
public:
    SetupItemRow(SetupHost& host, SetupItemKind kind, QWidget* parent = nullptr);
    void refresh(const SetupChecklistItem* item, bool browserCheckPossible);

    SetupItemKind kind() const { return kind_; }
    QLabel* badge() const { return badge_; }
    QLabel* detail() const { return detail_; }
    QLabel* icon() const { return icon_; }
    QPushButton* settingsButton() const { return settingsButton_; }
    QPushButton* browserCheckButton() const { return browserCheckButton_; } // null on the first two rows

private:
    SetupHost& host_;
    SetupItemKind kind_;
    QLabel* icon_ = nullptr;
    QLabel* badge_ = nullptr;
    QLabel* detail_ = nullptr;
    QWidget* buttonBar_ = nullptr;
    QPushButton* settingsButton_ = nullptr;
    QPushButton* browserCheckButton_ = nullptr;
};

// The setup checklist: header, two summary cards, the four item rows, the browser
// check procedure (while browser capture is not ready) and the footer buttons. It
// re-renders on every state change of the host.
class SetupChecklistView : public QWidget {
    Q_OBJECT
public:
    SetupChecklistView(SetupHost& host, SetupPresentationMode mode, QWidget* parent = nullptr);

    SetupPresentationMode mode() const { return mode_; }
    SetupItemRow* row(SetupItemKind kind) const { return rows_.at(kind); }
    QLabel* basicCardValue() const { return basicValue_; }
    QLabel* browserCardValue() const { return browserValue_; }
    QWidget* procedureBox() const { return procedure_; }
    QLabel* errorLabel() const { return error_; }
    QPushButton* recheckButton() const { return recheck_; }
    QPushButton* footerBrowserCheckButton() const { return footerCheck_; }
    QPushButton* supportButton() const { return support_; }
    QPushButton* closeForNowButton() const { return closeForNow_; } // null in standard mode

    void refresh();

private:
    QWidget* card(const QString& title, QLabel*& icon, QLabel*& value);

    SetupHost& host_;
    SetupPresentationMode mode_;
    std::map<SetupItemKind, SetupItemRow*> rows_;
    QLabel* basicIcon_ = nullptr;
    QLabel* basicValue_ = nullptr;
    QLabel* browserIcon_ = nullptr;
    QLabel* browserValue_ = nullptr;
    QWidget* procedure_ = nullptr;
    QLabel* error_ = nullptr;
    QPushButton* recheck_ = nullptr;
    QPushButton* footerCheck_ = nullptr;
    QPushButton* support_ = nullptr;
    QPushButton* closeForNow_ = nullptr;
};

// Status icon colours (also used by the icons' tests).
QColor setupStatusColor(SetupStatus status, const QPalette& palette);

} // namespace lumivane
