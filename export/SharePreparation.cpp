#include "export/SharePreparation.h"
#include "export/ShareExporter.h"

namespace lumivane {

SharePreparation::SharePreparation(ImageRef image, ImageExportProfile source, QString fileNamePrefix, QObject* parent)
    : QObject(parent), image_(std::move(image)), source_(source), fileNamePrefix_(std::move(fileNamePrefix)) {}

bool SharePreparation::setImage(ImageRef image) {
    const qint64 before = image_ ? image_->cacheKey() : -1;
    const qint64 after = image ? image->cacheKey() : -1;
    image_ = std::move(image);
    if (before == after)
        return false;
    reset();
    return true;
}

bool SharePreparation::setFileNamePrefix(const QString& prefix) {
    if (prefix == fileNamePrefix_)
        return false;
    fileNamePrefix_ = prefix;
    reset();
    return true;
}

void SharePreparation::reset() {
    ++generation_;
    preparedItems_.clear();
    preparingFormats_.clear();
}

std::optional<QString> SharePreparation::preparedItem(ScreenshotFileFormat format) const {
    const auto it = preparedItems_.find(format);
    return it == preparedItems_.end() ? std::nullopt : std::optional<QString>(it->second);
}

void SharePreparation::prepare(ScreenshotFileFormat format, CaptureQualityPreset preset) {
    if (!image_)
        return;
    if (preparedItems_.count(format) || preparingFormats_.count(format))
        return;
    preparingFormats_.insert(format);
    const quint64 generation = generation_;
    const auto finish = [this, format, generation](const std::optional<QString>& location) {
        if (generation != generation_)
            return;
        preparingFormats_.erase(format);
        if (location)
            preparedItems_[format] = *location;
        emit preparedItemsChanged();
    };
    const QString key = ShareExporter::cacheKey(image_, format, fileNamePrefix_);
    if (const std::optional<CachedShareItem> hit = ShareExporter::cache().touchCachedItem(key)) {
        finish(hit->url);
        return;
    }
    ShareExporter::prepareShareItem(image_, source_, format, preset, fileNamePrefix_, this, finish);
}

} // namespace lumivane
