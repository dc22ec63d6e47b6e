#pragma once
#include <QObject>
#include <QPointer>
#include <memory>

namespace lumivane {

class AppModel;
class HistoryWindow;
struct HistoryEntry;
class ShareTargets;

// The window of the kept captures, made on first use and kept in step with the
// history: open in the editor, copy, save, show in the file manager, delete. UI thread.
class AppHistoryWindow : public QObject {
    Q_OBJECT
public:
    explicit AppHistoryWindow(AppModel& model, QObject* parent = nullptr);
    ~AppHistoryWindow() override;

    void show();
    HistoryWindow* window() const;

private:
    void copy(const HistoryEntry& entry);
    void save(const HistoryEntry& entry);
    // Shows the entry's file in the desktop's file manager, else opens its folder;
    // says so when neither can be done.
    void reveal(const HistoryEntry& entry);

    AppModel& model_;
    QPointer<HistoryWindow> window_;
    std::shared_ptr<ShareTargets> shareTargets_; // made on first use
};

} // namespace lumivane
