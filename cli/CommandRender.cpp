#include "cli/Cli.h"
#include "cli/ImageFiles.h"
#include "cli/ProjectFiles.h"

#include "editor/EditorRenderer.h"
#include "editor_model/DocumentLimits.h"

namespace lumivane::cli {

int commandRender(const QStringList& args) {
    QString input, output;
    CaptureQualityPreset preset = CaptureQualityPreset::medium;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "-o" || arg == "--output" || arg == "--preset") {
            if (i + 1 >= args.size())
                return usageError(QString("render: %1 needs a value").arg(arg));
            const QString& value = args[++i];
            if (arg == "--preset") {
                const auto p = captureQualityPresetFromRaw(value);
                if (!p)
                    return usageError(QString("render: unknown preset '%1' (low, medium or high)").arg(value));
                preset = *p;
            } else {
                output = value;
            }
        } else if (arg.startsWith('-')) {
            return usageError(QString("render: unknown option '%1'").arg(arg));
        } else if (input.isEmpty()) {
            input = arg;
        } else {
            return usageError(QString("render: unexpected argument '%1'").arg(arg));
        }
    }
    if (input.isEmpty())
        return usageError("render: missing PROJECT file");
    if (output.isEmpty())
        return usageError("render: missing -o OUTPUT");
    if (!imageFormatForOutput(output))
        return unsupportedOutputError(output, "render");

    const auto document = readProjectDocument(input, "render");
    if (!document)
        return exitFailure;
    if (const QString problem = DocumentLimits::renderProblem(*document); !problem.isEmpty()) {
        printError(QString("render: '%1': %2").arg(input, problem));
        return exitFailure;
    }
    const auto image = EditorRenderer::render(*document);
    if (!image) {
        printError(QString("render: '%1' cannot be rendered: the memory for the image cannot be had").arg(input));
        return exitFailure;
    }
    return writeImageFile(*image, output, ImageExportProfile::standard, preset, "render");
}

} // namespace lumivane::cli
