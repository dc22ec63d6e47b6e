// Saving the numbered parts of a long page split by the whole-page capture.
#include "app/AppModel.h"
#include "app/ErrorMessages.h"
#include "browser/BrowserPageParts.h"
#include "core/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumivane {

QString AppModel::saveBrowserPageParts(const std::vector<ImageRef>& parts) {
    const std::optional<QUrl> chosen = settings_->resolvedDefaultSaveFolderURL();
    QString folder =
        chosen ? chosen->toLocalFile() : QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    try {
        if (!QDir().mkpath(folder))
            throw FileOperationError(FileOperationError::Kind::folderNotCreated, folder);
        const std::vector<QByteArray> files =
            browser_parts::encodedParts(parts, settings_->screenshotFileFormat(), ImageExportProfile::browserFullPage,
                                        settings_->captureQualityPreset());
        if (files.empty())
            throw FileOperationError(FileOperationError::Kind::fileNotWritten, folder);
        // Numbered after one free name, so that no part replaces an earlier file.
        QString base = uniqueImagePath(folder);
        for (int n = 2;; ++n) {
            bool free = true;
            for (size_t i = 0; i < files.size() && free; ++i)
                free = !QFileInfo::exists(browser_parts::numberedPartPath(base, int(i) + 1));
            if (free)
                break;
            const QFileInfo info(uniqueImagePath(folder));
            base = QDir(folder).filePath(
                QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
        }
        for (size_t i = 0; i < files.size(); ++i) {
            const QString path = browser_parts::numberedPartPath(base, int(i) + 1);
            QString error;
            if (!writeBytesAtomically(path, files[i], &error))
                throw FileOperationError(FileOperationError::Kind::fileNotWritten, path, error);
        }
        return QStringLiteral("長いページを %1 枚の画像に分けて保存しました (%2)。プレビューとクリップボードには 1 "
                              "枚目が入っています。")
            .arg(files.size())
            .arg(QDir::toNativeSeparators(
                QDir(folder).filePath(QFileInfo(browser_parts::numberedPartPath(base, 1)).fileName())));
    } catch (const std::exception& e) {
        reportError(e);
        return {};
    }
}

} // namespace lumivane
