#include "cli/ImageFiles.h"
#include "cli/Cli.h"
#include "export/AtomicFile.h"

#include <QFileInfo>
#include <QImageReader>

namespace lumivane::cli {

QImage readImageFile(const QString& path, const QString& command) {
    if (!QFileInfo(path).isFile()) {
        printError(QString("%1: input file '%2' does not exist").arg(command, path));
        return {};
    }
    // Full-page captures exceed Qt's default 128 MB decode limit.
    QImageReader::setAllocationLimit(2048);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        printError(QString("%1: cannot read '%2' as an image: %3").arg(command, path, reader.errorString()));
    return image;
}

std::optional<ScreenshotFileFormat> imageFormatForPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == "png") return ScreenshotFileFormat::png;
    if (ext == "jpg" || ext == "jpeg") return ScreenshotFileFormat::jpeg;
    return std::nullopt;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, const QString& command) {
    QString error;
    if (writeBytesAtomically(path, bytes, &error)) return true;
    printError(QString("%1: cannot write '%2': %3").arg(command, path, error));
    return false;
}

int writeImageFile(const QImage& image, const QString& path, ImageExportProfile profile,
                   CaptureQualityPreset preset, const QString& command) {
    const auto format = imageFormatForPath(path);
    if (!format)
        return usageError(QString("%1: unsupported output extension '%2' (use .png, .jpg or .jpeg)")
                              .arg(command, QFileInfo(path).suffix()));
    const auto bytes = ImageExportPipeline::encodedImageFileData(image, *format, profile, preset);
    if (!bytes) {
        printError(QString("%1: encoding the image failed").arg(command));
        return exitFailure;
    }
    return writeFileAtomically(path, *bytes, command) ? exitOk : exitFailure;
}

} // namespace lumivane::cli
