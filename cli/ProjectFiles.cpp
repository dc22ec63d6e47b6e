#include "cli/ProjectFiles.h"
#include "cli/Cli.h"

#include "editor_model/ProjectFile.h"

#include "cli/ImageFiles.h"
#include "core/AtomicFile.h"

#include <QFileInfo>
#include <sys/stat.h>

namespace lumivane::cli {

std::optional<EditorDocument> readProjectDocument(const QString& path, const QString& command) {
    if (!checkInputFile(path, command))
        return std::nullopt;
    if (!isProjectFileName(path)) {
        printError(
            QString("%1: '%2' is not a project file (expected the extension .lumivane or .json)").arg(command, path));
        return std::nullopt;
    }
    try {
        const SavedEditorProject project = ProjectFile::readFile(path);
        auto document = project.makeDocument();
        if (!document)
            printError(QString("%1: the image in '%2' cannot be decoded").arg(command, path));
        return document;
    } catch (const ProjectFileError& e) {
        printError(QString("%1: '%2': %3").arg(command, path, QString::fromUtf8(e.what())));
        return std::nullopt;
    }
}

bool isProjectFileName(const QString& path) {
    const QString ext = QFileInfo(path).suffix();
    return ext.compare(QLatin1String("lumivane"), Qt::CaseInsensitive) == 0 ||
           ext.compare(QLatin1String("json"), Qt::CaseInsensitive) == 0;
}

bool isStreamOutput(const QString& path) {
    struct stat st {};
    if (::stat(nativeFileName(path).constData(), &st) != 0)
        return false;
    return S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
}

} // namespace lumivane::cli
