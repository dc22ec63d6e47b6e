#include "editor/ProjectFileDialogs.h"
#include "core/AtomicFile.h"
#include "editor_model/ProjectFile.h"
#include "platform/FileDialogs.h"
#include "settings/AppSettings.h"
#include "settings/SaveDialogFolder.h"

#include <QDateTime>
#include <QDir>

namespace lumivane {

std::optional<QString> chooseProjectSaveFile(QWidget* parent, AppSettings& settings) {
    QString prefix = settings.fileNamePrefix().trimmed();
    if (prefix.isEmpty())
        prefix = QStringLiteral("Screenshot");
    const QString name = prefix + "-" + fileNameTimestamp(QDateTime::currentDateTime()) + ".lumivane";
    const auto path =
        chooseFileToSave(parent, QDir(saveDialogFolder(settings)).filePath(name), ProjectFile::saveDialogFilter());
    return path ? std::optional<QString>(ProjectFile::savePath(*path)) : std::nullopt;
}

std::optional<QString> chooseProjectOpenFile(QWidget* parent, AppSettings& settings) {
    return chooseFileToOpen(parent, saveDialogFolder(settings), ProjectFile::openDialogFilter());
}

} // namespace lumivane
