#include "app/ClipboardController.h"
#include "app/FileNaming.h"
#include "core/AtomicFile.h"
#include "core/LargeMemory.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QtConcurrent/QtConcurrent>

namespace lumivane {

ClipboardController::ClipboardController(const AppSettings& settings, const AppServices& services,
                                         const FileNaming& naming, QObject* parent)
    : QObject(parent), settings_(settings), services_(services), naming_(naming) {
    queue_.setMaxThreadCount(1);
    queue_.setObjectName("lumivane.preview-clipboard-export");
}

ClipboardController::~ClipboardController() {
    queue_.waitForDone();
}

ClipboardController::Data ClipboardController::encodeData(const QImage& image, ImageExportProfile profile,
                                                          CaptureQualityPreset preset, const QString& directory,
                                                          const QString& base) {
    Data data;
    data.png = ImageExportPipeline::dragExportPNGData(image, ImageExportOptions::output(profile, preset));
    if (data.png) {
        const QString path = QDir(directory).filePath(FileNaming::clipboardFileName(base));
        if (writeBytesAtomically(path, *data.png, nullptr, FileAccess::ownerOnly))
            data.filePath = path;
    }
    return data;
}

ClipboardController::Data ClipboardController::makeData(const QImage& image, CaptureSource source) const {
    return encodeData(image, exportProfile(source), settings_.captureQualityPreset(), services_.temporaryDirectory,
                      naming_.baseName());
}

void ClipboardController::prepare(const ImageRef& image, CaptureSource source) {
    if (!image)
        return;
    if (cachedImage_ == image && cachedPNGData_)
        return;
    cachedImage_ = image;
    cachedPNGData_.reset();
    cachedFilePath_.reset();
    const ImageExportProfile profile = exportProfile(source);
    const CaptureQualityPreset preset = settings_.captureQualityPreset();
    const QString base = naming_.baseName();
    const QString directory = services_.temporaryDirectory;
    QPointer<ClipboardController> self(this);
    // A capture that follows before this one's turn on the queue supersedes it; a queued
    // job does not keep its image alive.
    const quint64 generation = ++*generation_;
    (void)QtConcurrent::run(&queue_, [=, weak = std::weak_ptr<const QImage>(image), latest = generation_] {
        if (latest->load() != generation)
            return;
        const ImageRef image = weak.lock();
        if (!image)
            return;
        const Data data = encodeData(*image, profile, preset, directory, base);
        LargeMemory::trimWhenIdle(); // the encode's buffers are free now
        QMetaObject::invokeMethod(qApp, [self, image, data] {
            if (!self || self->cachedImage_ != image)
                return;
            self->cachedPNGData_ = data.png;
            self->cachedFilePath_ = data.filePath;
        });
    });
}

bool ClipboardController::writeData(const Data& data, const ImageRef& image) {
    if (!services_.clipboard)
        return false;
    services_.clipboard->clear();
    const bool taken = data.png || data.filePath ? services_.clipboard->write(data.filePath, data.png)
                                                 : services_.clipboard->writeImage(image);
    if (!taken)
        emit failed(QStringLiteral(
            "クリップボードにコピーできませんでした。プレビューの「コピー」ボタンから、もう一度お試しください。"));
    return taken;
}

void ClipboardController::copy(const ImageRef& image, CaptureSource source,
                               const std::function<void(bool)>& completion) {
    if (!image)
        return;
    if (cachedPNGData_ && cachedImage_ == image) {
        const bool taken = writeData({cachedPNGData_, cachedFilePath_}, image);
        if (completion)
            completion(taken);
        return;
    }
    const ImageExportProfile profile = exportProfile(source);
    const CaptureQualityPreset preset = settings_.captureQualityPreset();
    const QString base = naming_.baseName();
    const QString directory = services_.temporaryDirectory;
    QPointer<ClipboardController> self(this);
    (void)QtConcurrent::run(&queue_, [=] {
        const Data data = encodeData(*image, profile, preset, directory, base);
        QMetaObject::invokeMethod(qApp, [self, image, data, source, completion] {
            if (!self) {
                if (completion)
                    completion(false);
                return;
            }
            if (data.png) {
                self->cachedImage_ = image;
                self->cachedPNGData_ = data.png;
                self->cachedFilePath_ = data.filePath;
                const bool taken = self->writeData(data, image);
                if (completion)
                    completion(taken);
            } else {
                self->write(image, source);
                if (completion)
                    completion(false);
            }
        });
    });
}

void ClipboardController::write(const ImageRef& image, CaptureSource source) {
    if (!image || !services_.clipboard)
        return;
    services_.clipboard->clear();
    writeData(makeData(*image, source), image);
}

} // namespace lumivane
