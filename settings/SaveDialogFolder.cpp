#include "settings/SaveDialogFolder.h"

#include "settings/AppSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumivane {

QString saveDialogFolder(const AppSettings& settings) {
    if (const std::optional<QUrl> folder = settings.resolvedDefaultSaveFolderURL()) {
        const QString path = QDir::cleanPath(folder->toLocalFile());
        if (QFileInfo(path).isDir())
            return path;
    }
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

} // namespace lumivane
