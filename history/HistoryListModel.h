#pragma once
#include "history/HistoryStore.h"

#include <QAbstractListModel>
#include <QCache>
#include <QImage>
#include <QSet>
#include <QThreadPool>
#include <memory>

namespace lumivane {

// The history entries for a list view: the capture time as text, the thumbnail as
// decoration. Thumbnails are read on a background thread when a row is first
// painted (a placeholder until then) and kept in a bounded cache, so a thousand
// entries open at once. UI thread.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { EntryKeyRole = Qt::UserRole + 1 };

    explicit HistoryListModel(QObject* parent = nullptr);
    ~HistoryListModel() override;

    void setEntries(std::vector<HistoryEntry> entries);
    const std::vector<HistoryEntry>& entries() const { return entries_; }
    const HistoryEntry* entryAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Size of the decoration (thumbnails are scaled into it).
    static constexpr int iconSide = 160;
    // How many thumbnails were read so far (tests).
    int thumbnailsRead() const { return thumbnailsRead_; }
    // The caption of an entry ("今日 14:03:12", "12月1日 09:30:00").
    static QString caption(const QDateTime& capturedAt, const QDateTime& now);

private:
    void requestThumbnail(const QString& key, const QString& path) const;

    std::vector<HistoryEntry> entries_;
    mutable QCache<QString, QImage> thumbnails_;
    mutable QSet<QString> pending_;
    mutable QThreadPool readers_;
    mutable int thumbnailsRead_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    QImage placeholder_;
};

} // namespace lumivane
