#include "cli/Cli.h"
#include "cli/ImageFiles.h"

#include "core/AtomicFile.h"
#include "core/ImageMemory.h"
#include "ocr/TextRecognitionEngineModule.h"
#include "ocr/TextRecognitionError.h"
#include "ocr/TextRecognitionResult.h"

#include <QFile>
#include <QImageReader>
#include <QTextStream>
#include <fcntl.h>
#include <future>
#include <malloc.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivane::cli {

namespace {

using ocr::kMaxRecognitionPixels;
using ocr::kMaxRecognitionSide;
using Kind = TextRecognitionError::Kind;

// The image to read, or a TextRecognitionError naming what is wrong with the file.
QImage readImageToRecognise(const QString& path) {
    const QByteArray native = nativeFileName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        throw TextRecognitionError(errno == ENOENT || errno == ENOTDIR ? Kind::imageNotFound : Kind::imageNotReadable,
                                   path);
    if (!S_ISREG(st.st_mode))
        throw TextRecognitionError(Kind::notAnImage, path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw TextRecognitionError(Kind::imageNotReadable, path);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw TextRecognitionError(Kind::imageNotReadable, path);
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    // The size is known from the header: an oversized image is refused before decoding.
    const QSize size = reader.size();
    if (!size.isValid() && !reader.canRead())
        throw TextRecognitionError(Kind::notAnImage, path);
    if (size.isValid() && (size.width() > kMaxRecognitionSide || size.height() > kMaxRecognitionSide ||
                           qint64(size.width()) * size.height() > kMaxRecognitionPixels))
        throw TextRecognitionError(Kind::imageTooLarge, QStringLiteral("%1×%2").arg(size.width()).arg(size.height()));
    if (size.isValid() && !allowImageReadOf(qint64(size.width()) * size.height() * 4))
        throw TextRecognitionError(Kind::imageTooLarge, QStringLiteral("%1×%2").arg(size.width()).arg(size.height()));
    const QImage image = reader.read();
    if (image.isNull())
        throw TextRecognitionError(Kind::notAnImage, path);
    return image;
}

} // namespace

int commandOcr(const QStringList& args) {
    QString input, output;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size())
                return usageError(QString("ocr: %1 needs a value").arg(arg));
            output = args[++i];
        } else if (arg.startsWith('-') && arg != "-") {
            return usageError(QString("ocr: unknown option '%1'").arg(arg));
        } else if (input.isEmpty()) {
            input = arg;
        } else {
            return usageError(QString("ocr: unexpected argument '%1'").arg(arg));
        }
    }
    if (input.isEmpty())
        return usageError("ocr: missing IMAGE file");

    // The engine allocates and frees large buffers for every text line; kept in the
    // heap for this short process, they cost no page faults each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    ocr::TextRecognitionResult result;
    // The engine loads (most of a second) while the image is read; the codes are looked
    // for beside the recognition, which itself runs on this thread alone.
    const ocr::TextRecognitionEngineModule& module = ocr::TextRecognitionEngineModule::shared();
    auto engine = std::async(std::launch::async, [&module] { return module.createEngine(); });
    try {
        const QImage image = readImageToRecognise(input);
        auto codes = std::async(std::launch::async, [&module, &image] { return module.readCodes(image); });
        ocr::EngineFailure failure;
        const bool read = engine.get()->recognizeText(image, nullptr, &result.text, &failure);
        result.codes = codes.get();
        if (!read)
            throw TextRecognitionError(failure.kind, failure.detail);
    } catch (const TextRecognitionError& error) {
        printError(error.description());
        return exitFailure;
    }
    const QByteArray text = ocr::resultText(result).toUtf8();
    if (output.isEmpty() || output == QLatin1String("-")) {
        if (writeAllToDescriptor(STDOUT_FILENO, text) != 0) {
            printError(QStringLiteral("読み取った文字を標準出力に書き出せませんでした。"));
            return exitFailure;
        }
        return exitOk;
    }
    return writeOutputFile(output, text, "ocr") ? exitOk : exitFailure;
}

} // namespace lumivane::cli
