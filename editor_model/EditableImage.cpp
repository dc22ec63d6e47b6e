#include "editor_model/EditableImage.h"
#include "core/ImageMemory.h"
#include "core/NativeFileNames.h"
#include "editor_model/DocumentLimits.h"

#include <QFile>
#include <QImageReader>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivane::EditableImage {

namespace {

QString supportedFormats() {
    QStringList names;
    for (const QByteArray& f : QImageReader::supportedImageFormats()) {
        const QString name = QString::fromLatin1(f).toUpper();
        if (name != QLatin1String("JPG") && name != QLatin1String("TIF"))
            names << name;
    }
    return names.join(QStringLiteral(", "));
}

QString notAnImage() {
    return QStringLiteral("画像として読めないファイルです（読める形式: %1）。").arg(supportedFormats());
}

// Opens the file by its exact bytes; nothing with the reason set when it cannot be read.
std::unique_ptr<QFile> openFile(const QString& path, QString* error) {
    const QByteArray native = nativeFileName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        *error = errno == EACCES ? QStringLiteral("画像ファイルを読む権限がありません。")
                                 : QStringLiteral("画像ファイルが見つかりません。名前と場所を確かめてください。");
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = QStringLiteral("画像ファイルではなくフォルダです。");
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = notAnImage();
        return nullptr;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno == EACCES ? QStringLiteral("画像ファイルを読む権限がありません。")
                                 : QStringLiteral("画像ファイルを開けませんでした: %1")
                                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return file;
}

// The size check of a reader positioned on the data: empty when it may be decoded.
QString sizeProblem(QImageReader& reader) {
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return notAnImage();
    if (!DocumentLimits::imageSizeAllowed(size.width(), size.height()))
        return DocumentLimits::imageTooLargeMessage(size.width(), size.height());
    if (!allowImageReadOf(qint64(size.width()) * size.height() * 4))
        return QStringLiteral("画像を開くためのメモリが足りません（%1 × %2 ピクセル）。")
            .arg(size.width())
            .arg(size.height());
    return {};
}

} // namespace

QString checkFile(const QString& path) {
    QString error;
    std::unique_ptr<QFile> file = openFile(path, &error);
    if (!file)
        return error;
    QImageReader reader(file.get());
    return sizeProblem(reader);
}

Result readFile(const QString& path) {
    Result result;
    std::unique_ptr<QFile> file = openFile(path, &result.error);
    if (!file)
        return result;
    QImageReader reader(file.get());
    reader.setAutoTransform(true);
    result.error = sizeProblem(reader);
    if (!result.error.isEmpty())
        return result;
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        result.error = QStringLiteral("画像ファイルが壊れているため読み込めませんでした。");
        return result;
    }
    return fromImage(image);
}

Result fromImage(const QImage& image) {
    Result result;
    if (image.isNull()) {
        result.error = QStringLiteral("クリップボードに画像がありません。");
        return result;
    }
    if (!DocumentLimits::imageSizeAllowed(image.width(), image.height())) {
        result.error = DocumentLimits::imageTooLargeMessage(image.width(), image.height());
        return result;
    }
    // The document's pixel format (a point per pixel, colour in sRGB as captures are).
    result.image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                           : image.convertToFormat(QImage::Format_RGB32);
    result.image.setDevicePixelRatio(1);
    if (result.image.isNull())
        result.error = QStringLiteral("画像を開くためのメモリが足りません（%1 × %2 ピクセル）。")
                           .arg(image.width())
                           .arg(image.height());
    return result;
}

} // namespace lumivane::EditableImage
