#include "cli/ImageFiles.h"
#include "cli/Cli.h"
#include "core/AtomicFile.h"
#include "core/ImageMemory.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivane::cli {

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

std::optional<struct stat> statOf(const QString& path) {
    struct stat st {};
    if (::stat(nativeFileName(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

bool isStream(const struct stat& st) {
    return S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
}

} // namespace

bool checkInputFile(const QString& path, const QString& command) {
    const QByteArray native = nativeFileName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            printError(QString("%1: input file '%2' does not exist").arg(command, path));
        else
            printError(QString("%1: cannot access '%2': %3").arg(command, path, systemError(code)));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        printError(QString("%1: '%2' is a folder, not a file").arg(command, path));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        printError(QString("%1: '%2' is not a regular file (a device, pipe or socket)").arg(command, path));
        return false;
    }
    if (::access(native.constData(), R_OK) != 0) {
        printError(QString("%1: cannot read '%2': %3").arg(command, path, systemError(errno)));
        return false;
    }
    return true;
}

QImage readImageFile(const QString& path, const QString& command) {
    if (!checkInputFile(path, command))
        return {};
    if (QFileInfo(path).suffix().compare(QLatin1String("lumivane"), Qt::CaseInsensitive) == 0) {
        printError(QString("%1: '%2' is a project file, not an image (use 'lumivane render')").arg(command, path));
        return {};
    }
    const int fd = ::open(nativeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        printError(QString("%1: cannot read '%2': %3").arg(command, path, systemError(errno)));
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    QImageReader reader(&file);
    // PNG and JPEG are known by their first bytes: Qt would otherwise load every image
    // plugin to ask it about the file.
    const QByteArray head = file.peek(3);
    const char* known = head == QByteArray("\x89PN", 3)         ? "png"
                        : head == QByteArray("\xff\xd8\xff", 3) ? "jpeg"
                                                                : nullptr;
    if (known) {
        reader.setFormat(known);
        reader.setAutoDetectImageFormat(false);
    }
    reader.setAutoTransform(true);
    // Large captures exceed Qt's default 128 MiB decode limit; the memory available bounds it.
    const QSize size = reader.size();
    if (size.isValid() && !allowImageReadOf(qint64(size.width()) * size.height() * 4)) {
        printError(QString("%1: '%2' is %3×%4 pixels, more than the memory available can hold")
                       .arg(command, path)
                       .arg(size.width())
                       .arg(size.height()));
        return {};
    }
    const QImage image = reader.read();
    if (image.isNull())
        printError(QString("%1: cannot read '%2' as an image: %3").arg(command, path, reader.errorString()));
    return image;
}

std::optional<ScreenshotFileFormat> imageFormatForPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == "png")
        return ScreenshotFileFormat::png;
    if (ext == "jpg" || ext == "jpeg")
        return ScreenshotFileFormat::jpeg;
    return std::nullopt;
}

std::optional<ScreenshotFileFormat> imageFormatForOutput(const QString& path) {
    if (const auto format = imageFormatForPath(path))
        return format;
    if (path == QLatin1String("-"))
        return ScreenshotFileFormat::png;
    if (const auto st = statOf(path); st && isStream(*st))
        return ScreenshotFileFormat::png;
    return std::nullopt;
}

int unsupportedOutputError(const QString& path, const QString& command) {
    const QString ext = QFileInfo(path).suffix();
    return usageError(
        ext.isEmpty() ? QString("%1: output '%2' has no extension (use .png, .jpg or .jpeg, or - for "
                                "standard output)")
                            .arg(command, path)
                      : QString("%1: unsupported output extension '%2' (use .png, .jpg or .jpeg)").arg(command, ext));
}

bool writeOutputFile(const QString& path, const QByteArray& bytes, const QString& command) {
    auto failed = [&](const QString& why) {
        printError(QString("%1: cannot write '%2': %3").arg(command, path, why));
        return false;
    };
    if (path == QLatin1String("-")) {
        if (const int code = writeAllToDescriptor(STDOUT_FILENO, bytes))
            return failed(systemError(code));
        return true;
    }
    if (const auto st = statOf(path)) {
        if (S_ISDIR(st->st_mode))
            return failed("it is a folder");
        if (S_ISBLK(st->st_mode))
            return failed("it is a block device");
        if (isStream(*st)) {
            // A device or pipe is written as it is, never replaced.
            const int fd = ::open(nativeFileName(path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (fd < 0)
                return failed(systemError(errno));
            int code = writeAllToDescriptor(fd, bytes);
            if (::close(fd) != 0 && code == 0 && errno != EINTR)
                code = errno;
            if (code)
                return failed(systemError(code));
            return true;
        }
    }
    QString error;
    if (writeBytesAtomically(path, bytes, &error))
        return true;
    return failed(error);
}

int writeImageFile(const QImage& image, const QString& path, ImageExportProfile profile, CaptureQualityPreset preset,
                   const QString& command) {
    const auto format = imageFormatForOutput(path);
    if (!format)
        return unsupportedOutputError(path, command);
    const auto bytes = ImageExportPipeline::encodedImageFileData(image, *format, profile, preset);
    if (!bytes) {
        printError(QString("%1: encoding the image failed").arg(command));
        return exitFailure;
    }
    return writeOutputFile(path, *bytes, command) ? exitOk : exitFailure;
}

} // namespace lumivane::cli
