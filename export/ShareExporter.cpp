#include "export/ShareExporter.h"

#include "core/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>
#include <pthread.h>
#include <vector>

namespace lumivane {

ShareItemCache::ShareItemCache(Clock clock, std::chrono::milliseconds cleanupInterval)
    : clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })),
      interval_(cleanupInterval) {}

ShareItemCache::~ShareItemCache() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (cleanupTimer_.joinable())
        cleanupTimer_.join();
}

std::optional<CachedShareItem> ShareItemCache::touchCachedItem(const QString& key) {
    std::lock_guard lock(mutex_);
    purgeExpiredItemsLocked();
    const auto it = itemCache_.find(key);
    if (it == itemCache_.end())
        return std::nullopt;
    it->second.lastAccessedAt = clock_();
    return it->second;
}

void ShareItemCache::createShareItem(const QString& key, const QString& path) {
    std::lock_guard lock(mutex_);
    reserved_.erase(path);
    const QDateTime now = clock_();
    const auto it = itemCache_.find(key);
    if (it != itemCache_.end()) {
        const QString previous = it->second.url;
        it->second = {path, now, now};
        if (previous != path)
            removeFileUnlessShared(previous);
    } else {
        itemCache_.emplace(key, CachedShareItem{path, now, now});
    }
    pruneCacheLocked();
}

QString ShareItemCache::reservePath(const QString& folder, const QString& base, const QString& extension) {
    std::lock_guard lock(mutex_);
    const QDir dir(folder);
    const auto taken = [&](const QString& candidate) {
        if (reserved_.count(candidate) || QFileInfo::exists(candidate))
            return true;
        return std::any_of(itemCache_.begin(), itemCache_.end(),
                           [&](const auto& entry) { return entry.second.url == candidate; });
    };
    QString candidate = dir.filePath(base + "." + extension);
    for (int n = 2; taken(candidate); ++n)
        candidate = dir.filePath(QStringLiteral("%1-%2.%3").arg(base).arg(n).arg(extension));
    reserved_.insert(candidate);
    return candidate;
}

void ShareItemCache::release(const QString& path) {
    std::lock_guard lock(mutex_);
    reserved_.erase(path);
}

void ShareItemCache::purgeExpiredItems() {
    std::lock_guard lock(mutex_);
    purgeExpiredItemsLocked();
}

void ShareItemCache::purgeExpiredItemsLocked() {
    const QDateTime now = clock_();
    std::vector<QString> removed;
    for (auto it = itemCache_.begin(); it != itemCache_.end();) {
        if (it->second.lastAccessedAt.secsTo(now) > expirySeconds) {
            removed.push_back(it->second.url);
            it = itemCache_.erase(it);
        } else {
            ++it;
        }
    }
    for (const QString& path : removed)
        removeFileUnlessShared(path);
    pruneCacheLocked();
}

void ShareItemCache::pruneCacheLocked() {
    if (itemCache_.size() <= capacity)
        return;
    std::vector<std::map<QString, CachedShareItem>::iterator> order;
    for (auto it = itemCache_.begin(); it != itemCache_.end(); ++it)
        order.push_back(it);
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        if (a->second.lastAccessedAt != b->second.lastAccessedAt)
            return a->second.lastAccessedAt < b->second.lastAccessedAt;
        return a->second.createdAt < b->second.createdAt;
    });
    const std::size_t excess = itemCache_.size() - capacity;
    std::vector<QString> removed;
    for (std::size_t i = 0; i < excess; ++i) {
        removed.push_back(order[i]->second.url);
        itemCache_.erase(order[i]);
    }
    for (const QString& path : removed)
        removeFileUnlessShared(path);
}

void ShareItemCache::removeFileUnlessShared(const QString& path) {
    const bool stillUsed =
        std::any_of(itemCache_.begin(), itemCache_.end(), [&](const auto& entry) { return entry.second.url == path; });
    if (!stillUsed)
        QFile::remove(path); // errors ignored
}

void ShareItemCache::startCleanupTimer() {
    std::lock_guard lock(mutex_);
    if (cleanupTimer_.joinable() || stopping_)
        return;
    cleanupTimer_ = std::thread([this] { cleanupLoop(); });
}

bool ShareItemCache::cleanupTimerRunning() const {
    std::lock_guard lock(mutex_);
    return cleanupTimer_.joinable();
}

void ShareItemCache::cleanupLoop() {
    pthread_setname_np(pthread_self(), "lumivane.share");
    std::unique_lock lock(mutex_);
    auto next = std::chrono::steady_clock::now() + interval_;
    while (!stopping_) {
        if (wake_.wait_until(lock, next, [this] { return stopping_; }))
            break;
        purgeExpiredItemsLocked();
        next += interval_;
    }
}

std::size_t ShareItemCache::count() const {
    std::lock_guard lock(mutex_);
    return itemCache_.size();
}

std::optional<CachedShareItem> ShareItemCache::peek(const QString& key) const {
    std::lock_guard lock(mutex_);
    const auto it = itemCache_.find(key);
    return it == itemCache_.end() ? std::nullopt : std::optional<CachedShareItem>(it->second);
}

namespace ShareExporter {

ShareItemCache& cache() {
    static ShareItemCache instance;
    return instance;
}

static const char* formatKey(ScreenshotFileFormat format) {
    return format == ScreenshotFileFormat::jpeg ? "jpeg" : "png";
}

QString cacheKey(const ImageRef& image, ScreenshotFileFormat format, const QString& fileNamePrefix) {
    const qint64 identity = image ? image->cacheKey() : 0;
    return QString::number(identity) + "-" + formatKey(format) + "-" + fileNamePrefix;
}

QString sanitizedFileNamePrefix(const QString& prefix) {
    const QString trimmed = prefix.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Lumivane");
    QString result;
    result.reserve(trimmed.size());
    for (const QChar c : trimmed) {
        const bool separator = c == '/' || c == ':' || c == '\\' || c == '\n' || c == '\r' || c == QChar(0x2028) ||
                               c == QChar(0x2029) || c == QChar(0x85) || c.category() == QChar::Other_Control;
        result += separator ? QChar('-') : c;
    }
    return result.isEmpty() ? QStringLiteral("Lumivane") : result;
}

QString shareFileBaseName(const QString& fileNamePrefix, const QDateTime& time) {
    return sanitizedFileNamePrefix(fileNamePrefix) + "-" + fileNameTimestamp(time);
}

std::optional<QString> createShareFile(const ImageRef& image, ImageExportProfile profile, ScreenshotFileFormat format,
                                       CaptureQualityPreset preset, const QString& fileNamePrefix) {
    if (!image || image->isNull())
        return std::nullopt;
    const QString key = cacheKey(image, format, fileNamePrefix);
    const std::optional<QByteArray> data = ImageExportPipeline::encodedImageFileData(*image, format, profile, preset);
    if (!data || data->isEmpty())
        return std::nullopt;
    const QString folder = temporaryFolder();
    ShareItemCache& items = cache();
    const QString path =
        items.reservePath(folder, shareFileBaseName(fileNamePrefix, QDateTime::currentDateTime()),
                          format == ScreenshotFileFormat::jpeg ? QStringLiteral("jpg") : QStringLiteral("png"));
    if (!writeBytesAtomically(path, *data, nullptr, FileAccess::ownerOnly)) {
        items.release(path);
        return std::nullopt;
    }
    items.createShareItem(key, path);
    return path;
}

void prepareShareItem(const ImageRef& image, ImageExportProfile profile, ScreenshotFileFormat format,
                      CaptureQualityPreset preset, const QString& fileNamePrefix, QObject* context,
                      const std::function<void(std::optional<QString>)>& completion) {
    cache().startCleanupTimer();
    QPointer<QObject> receiver(context);
    const bool hasContext = context != nullptr;
    QThreadPool::globalInstance()->start([=] {
        std::optional<QString> path = createShareFile(image, profile, format, preset, fileNamePrefix);
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || !completion)
            return;
        // Delivered through the application object; the context is checked on the UI thread.
        QMetaObject::invokeMethod(
            app,
            [receiver, hasContext, completion, path] {
                if (hasContext && !receiver)
                    return;
                completion(path);
            },
            Qt::QueuedConnection);
    });
}

} // namespace ShareExporter

} // namespace lumivane
