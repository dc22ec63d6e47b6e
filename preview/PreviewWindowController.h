#pragma once
#include "export/ImageExportPipeline.h"
#include "platform/Screens.h"

#include <QDateTime>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QPropertyAnimation;
class QParallelAnimationGroup;
class QThreadPool;

namespace lumivane {

// What the panel calls back into the application object.
struct PreviewActions {
    std::function<void()> openEditor;
    std::function<void()> dismiss;
    std::function<void()> noteInteraction;
    std::function<void(bool)> hoverChanged;
    std::function<void(std::function<void(bool)>)> copy;   // completion gets success
    std::function<void(std::function<void(bool)>)> save;   // quick save; false when nothing to save
    // Drag-out PNG settings of the current capture.
    std::function<ImageExportOptions()> dragOptions;
};

// The drag control's cache: one PNG and temporary file per image object.
class PreviewDragExport : public QObject {
    Q_OBJECT
public:
    struct Payload {
        ImageRef image;
        std::optional<QByteArray> pngData;
        std::optional<QString> filePath;
    };
    explicit PreviewDragExport(std::function<ImageExportOptions()> options, QObject* parent = nullptr);
    ~PreviewDragExport() override;

    void prepareIfNeeded(const ImageRef& image);
    // Encodes on the spot when the background work has not finished yet.
    std::optional<Payload> payload(const ImageRef& image);
    // "Lumivane-Preview-<time>.png" in a fresh "Lumivane-Drag-<UUID>" temporary folder.
    static std::optional<QString> writeTemporaryPNG(const QByteArray& data);

private:
    ImageExportOptions currentOptions() const;
    std::function<ImageExportOptions()> options_;
    ImageRef cachedImage_;
    std::optional<QByteArray> cachedPNGData_;
    std::optional<QString> cachedFilePath_;
    QThreadPool* queue_;
};

class PreviewPanel;

// The floating 210 × 210 thumbnail panel in the lower-left corner of a screen.
class PreviewWindowController {
public:
    PreviewWindowController(std::shared_ptr<ScreenProvider> screens, PreviewActions actions);
    ~PreviewWindowController();

    void show(const ImageRef& image, const std::optional<QRectF>& previewScreenFrame);
    void hideWithFadeSlide();
    void removeFromScreen();
    bool isVisible() const;
    QWidget* window() const;
    std::optional<QPointF> restingOrigin() const { return restingOrigin_; }   // global space

    static constexpr int panelSize = 210;
    static constexpr int edgeInset = 24;
    static constexpr int slideDistance = 168;
    static constexpr int hideDurationMs = 280;

private:
    std::shared_ptr<ScreenProvider> screens_;
    std::unique_ptr<PreviewPanel> panel_;
    std::optional<QPointF> restingOrigin_;
    std::optional<QPoint> restingNative_;
    QParallelAnimationGroup* hideAnimation_ = nullptr;
};

} // namespace lumivane
