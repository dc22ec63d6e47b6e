#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "core/ImageFormats.h"

#include <QObject>
#include <QString>
#include <map>
#include <optional>
#include <set>

namespace lumivane {

// The share files of one image and file name prefix, one per format, prepared in
// the background (or taken from the share cache). A different image or prefix drops
// what was prepared, and late results of the earlier one are ignored. UI thread.
class SharePreparation : public QObject {
    Q_OBJECT
public:
    SharePreparation(ImageRef image, ImageExportProfile source, QString fileNamePrefix, QObject* parent = nullptr);

    const ImageRef& image() const { return image_; }
    ImageExportProfile source() const { return source_; }
    const QString& fileNamePrefix() const { return fileNamePrefix_; }

    // True when the image (by identity) or the prefix changed and the prepared files were dropped.
    bool setImage(ImageRef image);
    bool setFileNamePrefix(const QString& prefix);
    // Starts (or reuses) the share file of one format; nothing without an image.
    void prepare(ScreenshotFileFormat format, CaptureQualityPreset preset);

    const std::map<ScreenshotFileFormat, QString>& preparedItems() const { return preparedItems_; }
    const std::set<ScreenshotFileFormat>& preparingFormats() const { return preparingFormats_; }
    std::optional<QString> preparedItem(ScreenshotFileFormat format) const;

signals:
    // A file became ready, a preparation failed, or the prepared files were dropped.
    void preparedItemsChanged();

private:
    void reset();

    ImageRef image_;
    ImageExportProfile source_;
    QString fileNamePrefix_;
    std::map<ScreenshotFileFormat, QString> preparedItems_;
    std::set<ScreenshotFileFormat> preparingFormats_;
    quint64 generation_ = 0;
};

} // namespace lumivane
