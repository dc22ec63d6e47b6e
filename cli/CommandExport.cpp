#include "cli/Cli.h"
#include "cli/ImageFiles.h"

#include "core/ImageExportPipeline.h"

#include <QFileInfo>

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
            if (!v)
                return std::nullopt;
            a.output = *v;
        } else if (arg == "--format") {
            const auto v = value("--format");
            if (!v)
                return std::nullopt;
            a.format = screenshotFileFormatFromRaw(*v);
            if (!a.format) {
                failure = usageError(QString("export: unknown format '%1' (png or jpeg)").arg(*v));
                return std::nullopt;
            }
        } else if (arg == "--preset") {
            const auto v = value("--preset");
            if (!v)
                return std::nullopt;
            const auto p = captureQualityPresetFromRaw(*v);
            if (!p) {
                failure = usageError(QString("export: unknown preset '%1' (low, medium or high)").arg(*v));
                return std::nullopt;
            }
            a.preset = *p;
        } else if (arg == "--profile") {
            const auto v = value("--profile");
            if (!v)
                return std::nullopt;
            if (*v == "standard")
                a.profile = ImageExportProfile::standard;
            else if (*v == "browserFullPage")
                a.profile = ImageExportProfile::browserFullPage;
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
    // The format comes from the extension; --format, when given, must agree with it.
    const auto byName = imageFormatForPath(a.output);
    const auto byOutput = imageFormatForOutput(a.output);
    if (!byOutput) {
        failure = unsupportedOutputError(a.output, "export");
        return std::nullopt;
    }
    const ScreenshotFileFormat wanted = a.drag ? ScreenshotFileFormat::png : a.format.value_or(*byOutput);
    if (byName && *byName != wanted) {
        failure = usageError(
            QString("export: %1 output does not match the extension of '%2'").arg(rawValue(wanted), a.output));
        return std::nullopt;
    }
    a.format = wanted;
    return a;
}

} // namespace

int commandExport(const QStringList& args) {
    int failure = exitUsage;
    const auto a = parse(args, failure);
    if (!a)
        return failure;

    const QImage image = readImageFile(a->input, "export");
    if (image.isNull())
        return exitFailure;

    const ScreenshotFileFormat format = *a->format;
    const std::optional<QByteArray> bytes =
        a->drag ? ImageExportPipeline::dragExportPNGData(image, ImageExportOptions::drag(a->profile, a->preset))
                : ImageExportPipeline::encodedImageFileData(image, format, a->profile, a->preset);
    if (!bytes) {
        printError(QString("export: encoding '%1' failed").arg(a->input));
        return exitFailure;
    }

    if (!writeOutputFile(a->output, *bytes, "export"))
        return exitFailure;
    return exitOk;
}

} // namespace lumivane::cli
