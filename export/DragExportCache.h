#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThreadPool;

namespace lumivane {

// The PNG and temporary file of a drag-out control, encoded ahead on a serial
// background queue. Entries are keyed by what the image shows (the image's
// identity, or a document generation), so a drag never carries an older picture.
// UI thread only; the image source of a preparation runs on the queue.
class DragExportCache : public QObject {
    Q_OBJECT
public:
    using ImageSource = std::function<ImageRef()>;
    struct Payload {
        ImageRef image;
        std::optional<QByteArray> pngData;
        std::optional<QString> filePath;
    };

    // Files are "<fileNamePrefix><yyyy-MM-dd-HH-mm-ss>.png" in a fresh "Lumivane-Drag-<UUID>" folder.
    DragExportCache(const QString& queueLabel, QString fileNamePrefix, std::function<ImageExportOptions()> options,
                    QObject* parent = nullptr);
    ~DragExportCache() override;

    // Starts encoding for the key unless it is cached or already being encoded. A
    // newer key supersedes queued work for older ones.
    void prepareIfNeeded(quint64 key, ImageSource source);
    // The key's payload; encodes on the spot when the background work has not
    // finished. Nothing when the source gives no image.
    std::optional<Payload> payload(quint64 key, const ImageSource& source);
    // Forgets the cached payload (no image any more).
    void clear();
    bool isPrepared(quint64 key) const { return hasKey_ && cachedKey_ == key && cachedPNGData_.has_value(); }

    std::optional<QString> writeTemporaryPNG(const QByteArray& data) const;

    // Runs the drag of a payload from `source`: the file URL and PNG bytes, or the
    // image itself when neither is there; copy only, a thumbnail of `thumbnailSide`.
    static void runDrag(QObject* source, const Payload& payload, int thumbnailSide);

signals:
    void prepared(quint64 key);

private:
    ImageExportOptions currentOptions() const;

    QString fileNamePrefix_;
    std::function<ImageExportOptions()> options_;
    bool hasKey_ = false;
    quint64 cachedKey_ = 0;
    bool running_ = false;
    ImageRef cachedImage_;
    std::optional<QByteArray> cachedPNGData_;
    std::optional<QString> cachedFilePath_;
    std::shared_ptr<std::atomic<quint64>> latestKey_ = std::make_shared<std::atomic<quint64>>(0);
    QThreadPool* queue_;
};

} // namespace lumivane
