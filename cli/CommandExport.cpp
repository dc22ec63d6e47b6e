#include "cli/Cli.h"

#include "export/ImageExportPipeline.h"

#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

namespace lumivane::cli {

namespace {

struct ExportArguments {
    QString input;
    QString output;
    std::optional<ScreenshotFileFormat> format;
    CaptureQualityPreset preset = CaptureQualityPreset::medium;
    ImageExportProfile profile = ImageExportProfile::standard;
    bool drag = false;
};

ScreenshotFileFormat formatFromExtension(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    return (ext == "jpg" || ext == "jpeg") ? ScreenshotFileFormat::jpeg : ScreenshotFileFormat::png;
}

// Parses the arguments; on a usage error returns the exit code in `failure`.
std::optional<ExportArguments> parse(const QStringList& args, int& failure) {
    ExportArguments a;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto value = [&](const char* option) -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                failure = usageError(QString("export: %1 needs a value").arg(option));
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "-o" || arg == "--output") {
            const auto v = value("-o");
            if (!v) return std::nullopt;
            a.output = *v;
        } else if (arg == "--format") {
            const auto v = value("--format");
            if (!v) return std::nullopt;
            a.format = screenshotFileFormatFromRaw(*v);
            if (!a.format) {
                failure = usageError(QString("export: unknown format '%1' (png or jpeg)").arg(*v));
                return std::nullopt;
            }
        } else if (arg == "--preset") {
            const auto v = value("--preset");
            if (!v) return std::nullopt;
            const auto p = captureQualityPresetFromRaw(*v);
            if (!p) {
                failure = usageError(QString("export: unknown preset '%1' (low, medium or high)").arg(*v));
                return std::nullopt;
            }
            a.preset = *p;
        } else if (arg == "--profile") {
            const auto v = value("--profile");
            if (!v) return std::nullopt;
            if (*v == "standard") a.profile = ImageExportProfile::standard;
            else if (*v == "browserFullPage") a.profile = ImageExportProfile::browserFullPage;
            else {
                failure = usageError(QString("export: unknown profile '%1' (standard or browserFullPage)").arg(*v));
                return std::nullopt;
            }
        } else if (arg == "--drag") {
            a.drag = true;
        } else if (arg.startsWith('-') && arg != "-") {
            failure = usageError(QString("export: unknown option '%1'").arg(arg));
            return std::nullopt;
        } else if (a.input.isEmpty()) {
            a.input = arg;
        } else {
            failure = usageError(QString("export: unexpected argument '%1'").arg(arg));
            return std::nullopt;
        }
    }
    if (a.input.isEmpty()) {
        failure = usageError("export: missing INPUT image");
        return std::nullopt;
    }
    if (a.output.isEmpty()) {
        failure = usageError("export: missing -o OUTPUT");
        return std::nullopt;
    }
    if (a.drag && a.format == ScreenshotFileFormat::jpeg) {
        failure = usageError("export: --drag always produces PNG");
        return std::nullopt;
    }
    return a;
}

} // namespace

int commandExport(const QStringList& args) {
    int failure = exitUsage;
    const auto a = parse(args, failure);
    if (!a) return failure;

    if (!QFileInfo::exists(a->input)) {
        printError(QString("export: input file '%1' does not exist").arg(a->input));
        return exitFailure;
    }
    // Full-page captures exceed Qt's default 128 MB decode limit.
    QImageReader::setAllocationLimit(2048);
    QImageReader reader(a->input);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        printError(QString("export: cannot read '%1' as an image: %2").arg(a->input, reader.errorString()));
        return exitFailure;
    }

    const ScreenshotFileFormat format =
        a->drag ? ScreenshotFileFormat::png : a->format.value_or(formatFromExtension(a->output));
    std::optional<QByteArray> bytes;
    if (a->drag) {
        bytes = ImageExportPipeline::dragExportPNGData(image, ImageExportOptions::drag(a->profile, a->preset));
    } else if (format == ScreenshotFileFormat::jpeg) {
        if (const auto normalized = ImageExportPipeline::normalizedImage(image, std::nullopt))
            bytes = ImageExportPipeline::encode(*normalized, ScreenshotFileFormat::jpeg,
                                                jpegCompressionFactor(a->preset));
    } else {
        bytes = ImageExportPipeline::dragExportPNGData(image, ImageExportOptions::output(a->profile, a->preset));
    }
    if (!bytes) {
        printError(QString("export: encoding '%1' failed").arg(a->input));
        return exitFailure;
    }

    QSaveFile file(a->output);
    if (!file.open(QIODevice::WriteOnly)) {
        printError(QString("export: cannot write '%1': %2").arg(a->output, file.errorString()));
        return exitFailure;
    }
    if (file.write(*bytes) != bytes->size() || !file.commit()) {
        printError(QString("export: cannot write '%1': %2").arg(a->output, file.errorString()));
        file.cancelWriting();
        return exitFailure;
    }
    return exitOk;
}

} // namespace lumivane::cli
