#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "core/ImageFormats.h"

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace lumivane {

// The MIME type an application must open to be offered for a share format.
QString shareMimeType(ScreenshotFileFormat format);

// What a choice of the share picker hands out: the prepared file, else the image
// itself, encoded with these settings at the choice.
struct ShareHandOut {
    std::optional<QString> file;
    ImageRef image;
    ImageExportProfile source = ImageExportProfile::standard;
    ScreenshotFileFormat format = ScreenshotFileFormat::png;
    CaptureQualityPreset preset = CaptureQualityPreset::medium;
    QString fileNamePrefix;
};

// Opens the file with an application or reveals it; false with the reason when it could not.
using ShareAction = std::function<bool(const QString& path, QString* error)>;

// Runs the action on the hand-out's file. A file that is gone is written again from
// the image; without a file the image is encoded in the background first, and nothing
// runs if `context` is gone by then. `finished` hears the file handed out, or nothing
// and the reason for the user.
void handOutShare(const ShareHandOut& handOut, QObject* context, ShareAction action,
                  const std::function<void(const std::optional<QString>& path, const QString& error)>& finished);

} // namespace lumivane
