#pragma once
#include "core/Image.h"
#include "history/HistoryStore.h"

#include <QObject>
#include <QThreadPool>
#include <memory>
#include <vector>

namespace lumivane {

class AppSettings;

// Keeps each shown capture in the history folder while the settings ask for it:
// written on one background thread (encoding a capture takes a while), in the
// order taken, within the settings' bounds. Nothing is written, and no folder is
// made, while history is off. UI thread.
class HistoryRecorder : public QObject {
    Q_OBJECT
public:
    // Without a folder nothing is kept.
    HistoryRecorder(const AppSettings& settings, QString folder, QObject* parent = nullptr);
    ~HistoryRecorder() override;

    void record(const ImageRef& image);
    // The entries as last read, newest first (read again after each write and removal).
    const std::vector<HistoryEntry>& entries() const { return entries_; }
    void reload();
    bool remove(const HistoryEntry& entry);
    // Waits for the writes under way (tests, quitting).
    void waitForWrites();

signals:
    void changed();
    // A capture could not be kept; the message is for the user.
    void failed(const QString& message);

private:
    HistoryLimits limits() const;

    const AppSettings& settings_;
    std::shared_ptr<HistoryStore> store_;
    QThreadPool writer_; // serial
    std::vector<HistoryEntry> entries_;
    bool loaded_ = false;
};

} // namespace lumivane
