#include "app/ImageSaver.h"
#include "app/ErrorMessages.h"
#include "app/FileNaming.h"
#include "browser/BrowserPageParts.h"
#include "capture/CaptureError.h"
#include "core/AtomicFile.h"
#include "settings/AppSettings.h"
#include "settings/SaveDialogFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumivane {

ImageSaver::ImageSaver(const AppSettings& settings, const AppServices& services, const FileNaming& naming,
                       QObject* parent)
    : QObject(parent), settings_(settings), services_(services), naming_(naming) {}

void ImageSaver::report(const std::exception& error) {
    emit failed(userFacingErrorMessage(error));
}

std::optional<QByteArray> ImageSaver::encodedImageData(const ImageRef& image, CaptureSource source) const {
    if (!image)
        return std::nullopt;
    return ImageExportPipeline::encodedImageFileData(*image, settings_.screenshotFileFormat(), exportProfile(source),
                                                     settings_.captureQualityPreset());
}

void ImageSaver::saveImageQuickly(const ImageRef& image, CaptureSource source,
                                  const std::function<void(bool)>& completion) {
    const std::optional<QUrl> folder = settings_.resolvedDefaultSaveFolderURL();
    if (!folder) {
        saveImageWithPanel(image, source);
        if (completion)
            completion(true);
        return;
    }
    try {
        const QString path = folder->toLocalFile();
        if (!QDir().mkpath(path))
            throw FileOperationError(FileOperationError::Kind::folderNotCreated, path);
        const auto bytes = encodedImageData(image, source);
        if (!bytes)
            throw CaptureError(CaptureError::Kind::imageConversionFailed);
        QString error;
        const QString target = naming_.uniqueImagePath(path);
        if (!writeBytesAtomically(target, *bytes, &error))
            throw FileOperationError(FileOperationError::Kind::fileNotWritten, target, error);
        if (completion)
            completion(true);
    } catch (const std::exception& e) {
        report(e);
        if (completion)
            completion(false);
    }
}

void ImageSaver::saveImageWithPanel(const ImageRef& image, CaptureSource source) {
    if (!services_.chooseImageSavePath)
        return;
    // The dialog starts in the default save folder, else in Pictures.
    const QString suggestion = QDir(saveDialogFolder(settings_)).filePath(naming_.fileName());
    const auto path = services_.chooseImageSavePath(suggestion, settings_.screenshotFileFormat());
    if (!path)
        return;
    try {
        const auto bytes = encodedImageData(image, source);
        if (!bytes)
            throw CaptureError(CaptureError::Kind::imageConversionFailed);
        QString error;
        if (!writeBytesAtomically(*path, *bytes, &error))
            throw FileOperationError(FileOperationError::Kind::fileNotWritten, *path, error);
    } catch (const std::exception& e) {
        report(e);
    }
}

// Saving the numbered parts of a long page split by the whole-page capture.
QString ImageSaver::saveBrowserPageParts(const std::vector<ImageRef>& parts) {
    const std::optional<QUrl> chosen = settings_.resolvedDefaultSaveFolderURL();
    QString folder =
        chosen ? chosen->toLocalFile() : QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    try {
        if (!QDir().mkpath(folder))
            throw FileOperationError(FileOperationError::Kind::folderNotCreated, folder);
        const std::vector<QByteArray> files =
            browser_parts::encodedParts(parts, settings_.screenshotFileFormat(), ImageExportProfile::browserFullPage,
                                        settings_.captureQualityPreset());
        if (files.empty())
            throw FileOperationError(FileOperationError::Kind::fileNotWritten, folder);
        // Numbered after one free name, so that no part replaces an earlier file.
        QString base = naming_.uniqueImagePath(folder);
        for (int n = 2;; ++n) {
            bool free = true;
            for (size_t i = 0; i < files.size() && free; ++i)
                free = !QFileInfo::exists(browser_parts::numberedPartPath(base, int(i) + 1));
            if (free)
                break;
            const QFileInfo info(naming_.uniqueImagePath(folder));
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
        report(e);
        return {};
    }
}

} // namespace lumivane
