#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "core/ImageFormats.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace lumivane {

// One prepared share file.
struct CachedShareItem {
    QString url; // local path of the encoded image
    QDateTime createdAt;
    QDateTime lastAccessedAt;
};

// Share files by key, kept while used within the last hour and among the 12 most
// recently used; a file is deleted together with its entry. Thread-safe: one mutex
// serialises every access, the clean-up thread included.
class ShareItemCache {
public:
    using Clock = std::function<QDateTime()>;
    static constexpr std::size_t capacity = 12;
    static constexpr qint64 expirySeconds = 3600;
    static constexpr std::chrono::milliseconds defaultCleanupInterval{600'000};

    explicit ShareItemCache(Clock clock = {}, std::chrono::milliseconds cleanupInterval = defaultCleanupInterval);
    // Stops the clean-up thread. Files stay: a launched application may still read them.
    ~ShareItemCache();
    ShareItemCache(const ShareItemCache&) = delete;
    ShareItemCache& operator=(const ShareItemCache&) = delete;

    // Purges expired items, then marks the key's item used now and answers it.
    std::optional<CachedShareItem> touchCachedItem(const QString& key);
    // Stores a new item (created and used now) under the key, replacing the key's
    // earlier item (its file is deleted when it is another file); then prunes.
    void createShareItem(const QString& key, const QString& path);
    // A path in the folder for a new share file: "<base>.<ext>", else "<base>-2.<ext>",
    // "-3"… so that no cached item, pending preparation or existing file shares it.
    // Release it with createShareItem() or release().
    QString reservePath(const QString& folder, const QString& base, const QString& extension);
    void release(const QString& path);
    // Removes items unused for more than an hour (deleting their files), then prunes.
    void purgeExpiredItems();
    // Starts the repeating clean-up (purgeExpiredItems every interval) once; later calls do nothing.
    void startCleanupTimer();
    bool cleanupTimerRunning() const;

    std::size_t count() const;
    std::optional<CachedShareItem> peek(const QString& key) const; // no touch, no purge

private:
    void purgeExpiredItemsLocked();
    void pruneCacheLocked();
    void removeFileUnlessShared(const QString& path);
    void cleanupLoop();

    Clock clock_;
    std::chrono::milliseconds interval_;
    mutable std::mutex mutex_; // the "lumivane.share-exporter" lock: every read and write of the cache
    std::map<QString, CachedShareItem> itemCache_;
    std::set<QString> reserved_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread cleanupTimer_;
};

// The share-file preparation of the share popover. Process-wide cache; no instances.
namespace ShareExporter {

ShareItemCache& cache();

// Decimal identity of the image, "-png-" or "-jpeg-", then the prefix as given.
// The identity is QImage::cacheKey(), unique per image for the life of the process.
QString cacheKey(const ImageRef& image, ScreenshotFileFormat format, const QString& fileNamePrefix);
// Trimmed; "/", ":", "\", line breaks and control characters become "-"; blank → "Lumivane".
QString sanitizedFileNamePrefix(const QString& prefix);
// "<sanitised prefix>-yyyy-MM-dd-HH-mm-ss" in local time.
QString shareFileBaseName(const QString& fileNamePrefix, const QDateTime& time);

// Encodes the image (JPEG at full size with the preset's quality, or the output-row
// PNG of the profile), writes it atomically into the temporary folder and caches it
// under its key. Blocking; any thread. Nothing when encoding or writing fails.
std::optional<QString> createShareFile(const ImageRef& image, ImageExportProfile profile, ScreenshotFileFormat format,
                                       CaptureQualityPreset preset, const QString& fileNamePrefix);

// createShareFile on the global thread pool; the completion runs on the UI thread
// unless `context` is gone by then. Starts the clean-up timer.
void prepareShareItem(const ImageRef& image, ImageExportProfile profile, ScreenshotFileFormat format,
                      CaptureQualityPreset preset, const QString& fileNamePrefix, QObject* context,
                      const std::function<void(std::optional<QString>)>& completion);

} // namespace ShareExporter

} // namespace lumivane
