#pragma once
#include "export/ImageExportPipeline.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace lumivane::cli {

// Reads an image file (orientation applied). On failure prints "<command>: ..." and
// returns a null image.
QImage readImageFile(const QString& path, const QString& command);

// png for .png, jpeg for .jpg/.jpeg, nothing for any other extension.
std::optional<ScreenshotFileFormat> imageFormatForPath(const QString& path);

// Writes bytes through a temporary file renamed into place: a failure leaves no
// partial file. On failure prints "<command>: cannot write ..." and returns false.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, const QString& command);

// Encodes the image for the path's format through the export pipeline and writes it
// atomically. Returns an exit code (usage error for an unknown extension).
int writeImageFile(const QImage& image, const QString& path, ImageExportProfile profile,
                   CaptureQualityPreset preset, const QString& command);

} // namespace lumivane::cli
