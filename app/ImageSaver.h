#pragma once
#include "app/AppServices.h"

#include <QObject>
#include <functional>
#include <optional>
#include <vector>

namespace lumivane {

class AppSettings;
class FileNaming;

// Writes images as files in the configured format and quality: into the default save
// folder under a free generated name, or where the save dialog says; the parts of a
// long page as numbered files. Failures are reported through `failed`. UI thread.
class ImageSaver : public QObject {
    Q_OBJECT
public:
    ImageSaver(const AppSettings& settings, const AppServices& services, const FileNaming& naming,
               QObject* parent = nullptr);

    // Into the default save folder; without one through the dialog. `completion` hears
    // false only when writing failed.
    void saveImageQuickly(const ImageRef& image, CaptureSource source,
                          const std::function<void(bool)>& completion = {});
    void saveImageWithPanel(const ImageRef& image, CaptureSource source);
    std::optional<QByteArray> encodedImageData(const ImageRef& image, CaptureSource source) const;
    // Saves the parts of a split page as numbered files in the default save folder (else
    // the pictures folder); returns the note for the user (empty when saving failed, which
    // is reported).
    QString saveBrowserPageParts(const std::vector<ImageRef>& parts);

signals:
    void failed(const QString& message);

private:
    void report(const std::exception& error);

    const AppSettings& settings_;
    const AppServices& services_;
    const FileNaming& naming_;
};

} // namespace lumivane
