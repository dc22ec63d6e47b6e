#include "export/DragExportCache.h"

#include "core/AtomicFile.h"
#include "core/LargeMemory.h"
#include "export/ClipboardImageWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QMetaObject>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>
#include <sys/stat.h>

namespace lumivane {

DragExportCache::DragExportCache(const QString& queueLabel, QString fileNamePrefix,
                                 std::function<ImageExportOptions()> options, QObject* parent)
    : QObject(parent), fileNamePrefix_(std::move(fileNamePrefix)), options_(std::move(options)),
      queue_(new QThreadPool(this)) {
    queue_->setMaxThreadCount(1);
    queue_->setObjectName(queueLabel);
}

DragExportCache::~DragExportCache() {
    latestKey_->store(~quint64(0)); // queued work for any key is dropped
    queue_->waitForDone();
}

std::optional<QString> DragExportCache::writeTemporaryPNG(const QByteArray& data) const {
    const QString folder =
        QDir(temporaryFolder())
            .filePath("Lumivane-Drag-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0)
        return std::nullopt;
    const QString path =
        QDir(folder).filePath(fileNamePrefix_ + fileNameTimestamp(QDateTime::currentDateTime()) + ".png");
    if (!writeBytesAtomically(path, data, nullptr, FileAccess::ownerOnly))
        return std::nullopt;
    return path;
}

ImageExportOptions DragExportCache::currentOptions() const {
    return options_ ? options_() : ImageExportOptions::drag(ImageExportProfile::standard, CaptureQualityPreset::medium);
}

void DragExportCache::clear() {
    hasKey_ = false;
    running_ = false;
    cachedImage_.reset();
    cachedPNGData_.reset();
    cachedFilePath_.reset();
}

void DragExportCache::prepareIfNeeded(quint64 key, ImageSource source) {
    if (!source)
        return;
    if (hasKey_ && cachedKey_ == key && (cachedPNGData_ || running_))
        return;
    // The previous picture's payload goes, so a drag in the meantime never carries it.
    clear();
    hasKey_ = true;
    cachedKey_ = key;
    running_ = true;
    latestKey_->store(key);
    const ImageExportOptions options = currentOptions();
    QPointer<DragExportCache> self(this);
    const std::shared_ptr<std::atomic<quint64>> latest = latestKey_;
    queue_->start([self, latest, key, source = std::move(source), options, this] {
        if (latest->load() != key)
            return; // superseded before it started
        const ImageRef image = source();
        std::optional<QByteArray> data;
        std::optional<QString> path;
        if (image)
            data = ImageExportPipeline::dragExportPNGData(*image, options);
        if (data && latest->load() == key)
            path = writeTemporaryPNG(*data); // reads only the fixed prefix
        LargeMemory::trimWhenIdle();         // the encode's buffers are free now
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [self, key, image, data, path] {
                if (!self || !self->hasKey_ || self->cachedKey_ != key)
                    return;
                self->running_ = false;
                if (!image || !data)
                    return;
                self->cachedImage_ = image;
                self->cachedPNGData_ = data;
                self->cachedFilePath_ = path;
                emit self->prepared(key);
            },
            Qt::QueuedConnection);
    });
}

std::optional<DragExportCache::Payload> DragExportCache::payload(quint64 key, const ImageSource& source) {
    if (isPrepared(key) && cachedImage_)
        return Payload{cachedImage_, cachedPNGData_, cachedFilePath_};
    const ImageRef image = source ? source() : nullptr;
    if (!image)
        return std::nullopt;
    clear();
    hasKey_ = true;
    cachedKey_ = key;
    latestKey_->store(key);
    cachedImage_ = image;
    cachedPNGData_ = ImageExportPipeline::dragExportPNGData(*image, currentOptions());
    if (cachedPNGData_)
        cachedFilePath_ = writeTemporaryPNG(*cachedPNGData_);
    return Payload{cachedImage_, cachedPNGData_, cachedFilePath_};
}

void DragExportCache::runDrag(QObject* source, const Payload& payload, int thumbnailSide) {
    auto* drag = new QDrag(source);
    const ClipboardImageWriter writer(
        payload.filePath ? std::optional<QUrl>(QUrl::fromLocalFile(*payload.filePath)) : std::nullopt, payload.pngData);
    if (auto data = writer.mimeData()) {
        drag->setMimeData(data.release());
    } else {
        auto* imageData = new QMimeData;
        imageData->setImageData(*payload.image);
        drag->setMimeData(imageData);
    }
    drag->setPixmap(QPixmap::fromImage(
        payload.image->scaled(thumbnailSide, thumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace lumivane
