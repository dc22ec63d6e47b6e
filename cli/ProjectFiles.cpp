#include "cli/ProjectFiles.h"
#include "cli/Cli.h"

#include "editor_model/ProjectFile.h"

#include <QFileInfo>

namespace lumivane::cli {

std::optional<EditorDocument> readProjectDocument(const QString& path, const QString& command) {
    if (!QFileInfo(path).isFile()) {
        printError(QString("%1: project file '%2' does not exist").arg(command, path));
        return std::nullopt;
    }
    try {
        const SavedEditorProject project = ProjectFile::readFile(path);
        auto document = project.makeDocument();
        if (!document)
            printError(QString("%1: the image in '%2' cannot be decoded").arg(command, path));
        return document;
    } catch (const ProjectFileError& e) {
        printError(QString("%1: '%2': %3").arg(command, path, QString::fromStdString(e.what())));
        return std::nullopt;
    }
}

} // namespace lumivane::cli
