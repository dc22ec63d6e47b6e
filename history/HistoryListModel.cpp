#include "history/HistoryListModel.h"

#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace lumivane {

HistoryListModel::HistoryListModel(QObject* parent) : QAbstractListModel(parent), thumbnails_(400) {
    readers_.setMaxThreadCount(2);
    placeholder_ = QImage(iconSide, iconSide * 5 / 8, QImage::Format_ARGB32_Premultiplied);
    placeholder_.fill(QColor(128, 128, 128, 40));
}

HistoryListModel::~HistoryListModel() {
    readers_.clear();
    readers_.waitForDone();
}

void HistoryListModel::setEntries(std::vector<HistoryEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

const HistoryEntry* HistoryListModel::entryAt(int row) const {
    return row >= 0 && size_t(row) < entries_.size() ? &entries_[size_t(row)] : nullptr;
}

int HistoryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

QString HistoryListModel::caption(const QDateTime& at, const QDateTime& now) {
    const QString time = at.toString(QStringLiteral("HH:mm:ss"));
    if (at.date() == now.date())
        return QStringLiteral("今日 %1").arg(time);
    if (at.date() == now.date().addDays(-1))
        return QStringLiteral("昨日 %1").arg(time);
    if (at.date().year() == now.date().year())
        return QStringLiteral("%1月%2日 %3").arg(at.date().month()).arg(at.date().day()).arg(time);
    return QStringLiteral("%1年%2月%3日 %4")
        .arg(at.date().year())
        .arg(at.date().month())
        .arg(at.date().day())
        .arg(time);
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const {
    const HistoryEntry* entry = entryAt(index.row());
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return caption(entry->capturedAt, QDateTime::currentDateTime());
    case Qt::DecorationRole:
        // Asked for only by rows being painted: the thumbnail is read then.
        if (const QImage* cached = thumbnails_.object(entry->key))
            return *cached;
        requestThumbnail(entry->key, entry->thumbnailPath);
        return placeholder_;
    case Qt::ToolTipRole:
        return entry->projectPath;
    case EntryKeyRole:
        return entry->key;
    default:
        return {};
    }
}

void HistoryListModel::requestThumbnail(const QString& key, const QString& path) const {
    if (pending_.contains(key))
        return;
    pending_.insert(key);
    auto* self = const_cast<HistoryListModel*>(this);
    QtConcurrent::run(&readers_, [path] {
        QImageReader reader(path);
        QImage image = reader.read();
        if (!image.isNull() && (image.width() > iconSide || image.height() > iconSide))
            image = image.scaled(iconSide, iconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return image;
    }).then(self, [self, key, alive = std::weak_ptr<int>(alive_)](const QImage& image) {
        if (alive.expired())
            return;
        self->pending_.remove(key);
        ++self->thumbnailsRead_;
        self->thumbnails_.insert(key, new QImage(image.isNull() ? self->placeholder_ : image));
        for (size_t row = 0; row < self->entries_.size(); ++row) {
            if (self->entries_[row].key == key) {
                const QModelIndex i = self->index(int(row));
                emit self->dataChanged(i, i, {Qt::DecorationRole});
                break;
            }
        }
    });
}

} // namespace lumivane
