#pragma once
#include "core/ImageExportPipeline.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace lumivane::cli {

// File names on the command line are byte strings (export/AtomicFile.h converts
// them without loss); "-" as an output means standard output.

// Checks that an input names a readable regular file. On failure prints
// "<command>: ..." (missing, a folder, a device or pipe, unreadable) and returns false.
bool checkInputFile(const QString& path, const QString& command);

// Reads an image file (orientation applied). On failure prints "<command>: ..." and
// returns a null image.
QImage readImageFile(const QString& path, const QString& command);

// png for .png, jpeg for .jpg/.jpeg, nothing for any other extension.
std::optional<ScreenshotFileFormat> imageFormatForPath(const QString& path);
// The format of an output: by extension; PNG for standard output and for an
// existing device or pipe without an image extension. Nothing when the extension is
// not an image's (the caller reports it).
std::optional<ScreenshotFileFormat> imageFormatForOutput(const QString& path);
// "<command>: unsupported output extension ..." as a usage error.
int unsupportedOutputError(const QString& path, const QString& command);

// Writes an output: standard output for "-"; an existing character device, pipe or
// socket directly; anything else through a temporary file renamed into place, so a
// failure leaves no partial file and an existing folder or block device is never
// replaced. On failure prints "<command>: cannot write ..." and returns false.
bool writeOutputFile(const QString& path, const QByteArray& bytes, const QString& command);

// Encodes the image for the output's format through the export pipeline and writes
// it. Returns an exit code (usage error for an unknown extension).
int writeImageFile(const QImage& image, const QString& path, ImageExportProfile profile, CaptureQualityPreset preset,
                   const QString& command);

} // namespace lumivane::cli
