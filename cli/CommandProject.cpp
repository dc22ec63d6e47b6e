#include "cli/Cli.h"
#include "cli/ImageFiles.h"
#include "cli/ProjectFiles.h"

#include "editor_model/DocumentLimits.h"
#include "editor_model/ProjectFile.h"

namespace lumivane::cli {

namespace {

int projectNew(const QStringList& args) {
    QString input, output;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size())
                return usageError("project new: -o needs a value");
            output = args[++i];
        } else if (arg.startsWith('-')) {
            return usageError(QString("project new: unknown option '%1'").arg(arg));
        } else if (input.isEmpty()) {
            input = arg;
        } else {
            return usageError(QString("project new: unexpected argument '%1'").arg(arg));
        }
    }
    if (input.isEmpty())
        return usageError("project new: missing IMAGE");
    if (output.isEmpty())
        return usageError("project new: missing -o PROJECT.lumivane");
    if (!isProjectFileName(output) && output != "-" && !isStreamOutput(output))
        return usageError(QString("project new: output '%1' needs the extension .lumivane (or .json)").arg(output));

    QImage image = readImageFile(input, "project new");
    if (image.isNull())
        return exitFailure;
    if (!DocumentLimits::imageSizeAllowed(image.width(), image.height())) {
        printError(QString("project new: '%1': %2")
                       .arg(input, DocumentLimits::imageTooLargeMessage(image.width(), image.height())));
        return exitFailure;
    }
    const SavedEditorProject project(EditorDocument::fresh(makeImage(std::move(image))));
    if (project.baseImageData.isEmpty()) {
        printError(QString("project new: encoding the image of '%1' failed").arg(input));
        return exitFailure;
    }
    return writeOutputFile(output, project.encode(), "project new") ? exitOk : exitFailure;
}

} // namespace

int commandProject(const QStringList& args) {
    if (args.isEmpty())
        return usageError("project needs a subcommand: new IMAGE -o PROJECT.lumivane");
    if (args.first() == "new")
        return projectNew(args.mid(1));
    return usageError(QString("project: unknown subcommand '%1' (new)").arg(args.first()));
}

} // namespace lumivane::cli
