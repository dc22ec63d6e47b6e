#include "history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "editor_model/ProjectFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <sys/stat.h>

namespace lumivane {

namespace {

const QString projectSuffix = QStringLiteral(".lumivane");
const QString thumbnailSuffix = QStringLiteral(".png");

// "<ms>-<seq>": 13 digits of milliseconds, so names sort by time.
std::optional<QDateTime> timeOfKey(const QString& key) {
    bool ok = false;
    const qint64 ms = key.section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
    if (!ok || ms <= 0)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(ms);
}

} // namespace

HistoryStore::HistoryStore(QString folder) : folder_(std::move(folder)) {}

QString HistoryStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history");
}

bool HistoryStore::ensureFolder(QString* error) const {
    if (!QDir().mkpath(folder_)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(folder_);
        return false;
    }
    // Captures may show anything on the screen: only the user reads them.
    ::chmod(QFile::encodeName(folder_).constData(), 0700);
    return true;
}

QString HistoryStore::nextKey(const QDateTime& at) {
    const QDir dir(folder_);
    QString key;
    do {
        key = QStringLiteral("%1-%2")
                  .arg(at.toMSecsSinceEpoch(), 13, 10, QLatin1Char('0'))
                  .arg(sequence_++, 4, 10, QLatin1Char('0'));
    } while (dir.exists(key + projectSuffix) || dir.exists(key + thumbnailSuffix));
    return key;
}

QImage HistoryStore::makeThumbnail(const QImage& image) {
    if (image.isNull())
        return {};
    if (image.width() <= thumbnailSide && image.height() <= thumbnailSide)
        return image;
    return image.scaled(thumbnailSide, thumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

std::optional<HistoryEntry> HistoryStore::add(const EditorDocument& document, const HistoryLimits& limits,
                                              QString* error, const QDateTime& capturedAt) {
    if (!document.baseImage) {
        if (error)
            *error = QStringLiteral("there is no image");
        return std::nullopt;
    }
    if (!ensureFolder(error))
        return std::nullopt;
    const QDateTime at = capturedAt.isValid() ? capturedAt : QDateTime::currentDateTime();
    const QString key = nextKey(at);
    HistoryEntry entry;
    entry.key = key;
    entry.capturedAt = QDateTime::fromMSecsSinceEpoch(at.toMSecsSinceEpoch());
    entry.projectPath = QDir(folder_).filePath(key + projectSuffix);
    entry.thumbnailPath = QDir(folder_).filePath(key + thumbnailSuffix);

    QByteArray thumbnail;
    QBuffer buffer(&thumbnail);
    buffer.open(QIODevice::WriteOnly);
    makeThumbnail(*document.baseImage).save(&buffer, "PNG");
    const QByteArray project = SavedEditorProject(document).encode();
    // The thumbnail first: the project completes the entry.
    if (!writeBytesAtomically(entry.thumbnailPath, thumbnail, error, FileAccess::ownerOnly))
        return std::nullopt;
    if (!writeBytesAtomically(entry.projectPath, project, error, FileAccess::ownerOnly)) {
        QFile::remove(entry.thumbnailPath);
        return std::nullopt;
    }
    entry.bytes = thumbnail.size() + project.size();
    enforce(limits);
    return entry;
}

std::vector<HistoryEntry> HistoryStore::entries() const {
    std::vector<HistoryEntry> out;
    const QDir dir(folder_);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*") + projectSuffix}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    out.reserve(size_t(files.size()));
    for (auto it = files.crbegin(); it != files.crend(); ++it) {
        const QString key = it->completeBaseName();
        const auto at = timeOfKey(key);
        if (!at || isPartialFileName(it->fileName()))
            continue;
        const QFileInfo thumbnail(dir.filePath(key + thumbnailSuffix));
        if (!thumbnail.isFile())
            continue;
        out.push_back({key, it->filePath(), thumbnail.filePath(), *at, it->size() + thumbnail.size()});
    }
    return out;
}

void HistoryStore::clean() const {
    QDir dir(folder_);
    if (!dir.exists())
        return;
    removeStalePartialFiles(folder_);
    // A thumbnail whose project never arrived (or was being deleted).
    for (const QString& name : dir.entryList({QStringLiteral("*") + thumbnailSuffix}, QDir::Files)) {
        const QString key = name.chopped(thumbnailSuffix.size());
        if (!isPartialFileName(name) && !dir.exists(key + projectSuffix))
            dir.remove(name);
    }
    // A project without its thumbnail is not an entry either.
    for (const QString& name : dir.entryList({QStringLiteral("*") + projectSuffix}, QDir::Files)) {
        const QString key = name.chopped(projectSuffix.size());
        if (!isPartialFileName(name) && !dir.exists(key + thumbnailSuffix))
            dir.remove(name);
    }
}

void HistoryStore::enforce(const HistoryLimits& limits) const {
    const std::vector<HistoryEntry> all = entries();
    qint64 total = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        total += all[i].bytes;
        const bool over = int(i) >= std::max(limits.maximumEntries, 1) || total > limits.maximumBytes;
        if (i > 0 && over)
            remove(all[i]);
    }
}

bool HistoryStore::remove(const HistoryEntry& entry) const {
    // The project first: a lone thumbnail is what clean() removes.
    const bool removed = QFile::remove(entry.projectPath) || !QFileInfo::exists(entry.projectPath);
    QFile::remove(entry.thumbnailPath);
    return removed;
}

} // namespace lumivane
