#pragma once
#include "app/AppServices.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace lumivane {

class AppSettings;
class FileNaming;

// Copies images to the clipboard as PNG data plus a temporary PNG file. The preview's
// picture is encoded ahead (prepare, once the preview is on screen), so that its copy
// is instant; encoding runs on one background thread and stale work is dropped (by image
// identity, by generation). UI thread.
class ClipboardController : public QObject {
    Q_OBJECT
public:
    ClipboardController(const AppSettings& settings, const AppServices& services, const FileNaming& naming,
                        QObject* parent = nullptr);
    ~ClipboardController() override;

    // Encodes an image's clipboard data in the background unless it is cached.
    void prepare(const ImageRef& image, CaptureSource source);
    // Copies from the cache, else after encoding in the background; `completion` hears
    // whether the desktop took it.
    void copy(const ImageRef& image, CaptureSource source, const std::function<void(bool)>& completion = {});
    // Encodes on this thread and copies.
    void write(const ImageRef& image, CaptureSource source);

signals:
    // The desktop did not take the data; the message is for the user.
    void failed(const QString& message);

private:
    struct Data {
        std::optional<QByteArray> png;
        std::optional<QString> filePath;
    };
    // Encodes and writes the temporary file; safe on any thread.
    static Data encodeData(const QImage& image, ImageExportProfile profile, CaptureQualityPreset preset,
                           const QString& directory, const QString& base);
    Data makeData(const QImage& image, CaptureSource source) const;
    // False (and `failed` emitted) when the desktop did not take it.
    bool writeData(const Data& data, const ImageRef& image);

    const AppSettings& settings_;
    const AppServices& services_;
    const FileNaming& naming_;
    QThreadPool queue_; // serial: one thread
    std::shared_ptr<std::atomic<quint64>> generation_ = std::make_shared<std::atomic<quint64>>(0);
    // The image the cache belongs to, compared by object identity; holding it means a
    // freed image's address can never be mistaken for a new one.
    ImageRef cachedImage_;
    std::optional<QByteArray> cachedPNGData_;
    std::optional<QString> cachedFilePath_;
};

} // namespace lumivane
