#pragma once
#include <QObject>
#include <QPointer>

namespace lumivane {

class AppModel;
class HistoryWindow;
struct HistoryEntry;

// The window of the kept captures, made on first use and kept in step with the
// history: open in the editor, copy, save, show in the file manager, delete. UI thread.
class AppHistoryWindow : public QObject {
    Q_OBJECT
public:
    explicit AppHistoryWindow(AppModel& model, QObject* parent = nullptr);
    ~AppHistoryWindow() override;

    void show();
    HistoryWindow* window() const;

    // Shows the file in the desktop's file manager (org.freedesktop.FileManager1),
    // else opens its folder.
    static void revealInFileManager(const QString& path);

private:
    void copy(const HistoryEntry& entry);
    void save(const HistoryEntry& entry);

    AppModel& model_;
    QPointer<HistoryWindow> window_;
};

} // namespace lumivane
