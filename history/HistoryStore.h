#pragma once
#include "core/Image.h"
#include "editor_model/EditorDocument.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <optional>
#include <vector>

namespace lumivane {

// One kept capture: a project file that opens in the editor and its thumbnail,
// named by the same key (milliseconds since the epoch and a sequence number, so
// that names sort by time).
struct HistoryEntry {
    QString key;
    QString projectPath;
    QString thumbnailPath;
    QDateTime capturedAt;
    qint64 bytes = 0; // both files

    friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};

// How much history is kept.
struct HistoryLimits {
    int maximumEntries = 50;
    qint64 maximumBytes = qint64(500) << 20;
};

// The captures kept in a folder (private: 0700, its files 0600). There is no index:
// the folder's files are the history. An entry is written thumbnail first, then the
// project, each atomically; the project's presence makes it complete, so a writer
// killed at any point leaves at most a lone thumbnail or a partial file, which
// entries() skips and clean() removes. Deleting removes the project first.
// Any thread, one writer at a time per folder.
class HistoryStore {
public:
    explicit HistoryStore(QString folder);

    // The user's data folder (QStandardPaths::AppDataLocation) /history.
    static QString defaultFolder();
    const QString& folder() const { return folder_; }

    // Writes an entry for the document (a fresh one of `image`, or an edited one) and
    // drops the oldest entries beyond the limits; the new entry is always kept. The
    // entry, or nothing with `error` set when it could not be written.
    std::optional<HistoryEntry> add(const EditorDocument& document, const HistoryLimits& limits,
                                    QString* error = nullptr, const QDateTime& capturedAt = QDateTime());

    // The complete entries, newest first.
    std::vector<HistoryEntry> entries() const;
    // Removes half-written entries and partial files of writers that no longer run.
    void clean() const;
    // Drops the oldest entries until both limits hold (the newest stays).
    void enforce(const HistoryLimits& limits) const;
    bool remove(const HistoryEntry& entry) const;

    // The thumbnail's longer side in pixels.
    static constexpr int thumbnailSide = 320;
    static QImage makeThumbnail(const QImage& image);

private:
    bool ensureFolder(QString* error) const;
    QString nextKey(const QDateTime& at);

    QString folder_;
    int sequence_ = 0;
};

} // namespace lumivane
