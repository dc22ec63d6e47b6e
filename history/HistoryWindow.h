#pragma once
#include "history/HistoryListModel.h"

#include <QWidget>
#include <functional>

class QListView;
class QPushButton;
class QLabel;

namespace lumivane {

// What the history window asks of the application for the chosen entry.
struct HistoryActions {
    std::function<void(const HistoryEntry&)> open; // in the editor
    std::function<void(const HistoryEntry&)> copy;
    std::function<void(const HistoryEntry&)> save;
    std::function<void(const HistoryEntry&)> reveal; // in the file manager
    std::function<void(const HistoryEntry&)> remove;
};

// "最近の撮影": the kept captures as a grid of thumbnails, newest first, with the
// actions on the selected one (a double-click opens it in the editor).
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(HistoryActions actions, QWidget* parent = nullptr);

    void setEntries(std::vector<HistoryEntry> entries);
    HistoryListModel& model() { return *model_; }
    QListView* view() const { return view_; }
    std::optional<HistoryEntry> selectedEntry() const;

    static QString windowTitleText() { return QStringLiteral("最近の撮影"); }

private:
    void run(const std::function<void(const HistoryEntry&)>& action);
    void updateButtons();

    HistoryActions actions_;
    HistoryListModel* model_;
    QListView* view_;
    QLabel* empty_;
    std::vector<QPushButton*> buttons_;
};

} // namespace lumivane
