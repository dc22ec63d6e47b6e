#pragma once
#include "core/ImageExportPipeline.h"
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

namespace lumivane {

// What the panel calls back into the application object.
struct PreviewActions {
    std::function<void()> openEditor;
    std::function<void()> dismiss;
    std::function<void()> noteInteraction;
    std::function<void(bool)> hoverChanged;
    std::function<void(std::function<void(bool)>)> copy; // completion gets success
    std::function<void(std::function<void(bool)>)> save; // quick save; false when nothing to save
    std::function<void()> pin;                           // pins the picture to the screen (context menu)
    // Drag-out PNG settings of the current capture.
    std::function<ImageExportOptions()> dragOptions;
    // The panel has painted a newly set picture (background work for it may start now).
    std::function<void()> presented;
    // Reads the text of the picture; unset where text recognition is not offered.
    std::function<void()> readText;
    // The menu of the codes found in the picture, at a screen point.
    std::function<void(QPoint)> showCodes;
};

class PreviewPanel;

// The floating 210 × 210 thumbnail panel in the lower-left corner of a screen.
class PreviewWindowController {
public:
    PreviewWindowController(std::shared_ptr<ScreenProvider> screens, PreviewActions actions);
    ~PreviewWindowController();

    void show(const ImageRef& image, const std::optional<QRectF>& previewScreenFrame);
    // Creates the native window ahead of the first show.
    void prepare();
    void hideWithFadeSlide();
    void removeFromScreen();
    // QR codes or barcodes were found in the shown picture: the panel offers them.
    void setCodesFound(bool found);
    bool isVisible() const;
    QWidget* window() const;
    std::optional<QPointF> restingOrigin() const { return restingOrigin_; } // global space
    // The hover controls are up (the pointer is over the panel).
    bool isHovering() const;
    // The opacity the card is painted with (below 1 while it fades out).
    double paintedOpacity() const;

    static constexpr int panelSize = 210;
    static constexpr int edgeInset = 24;
    static constexpr int slideDistance = 168;
    static constexpr int hideDurationMs = 280;

private:
    // The native window with its shape and panel hints, before it is mapped.
    void readyNativeWindow();

    std::shared_ptr<ScreenProvider> screens_;
    std::unique_ptr<PreviewPanel> panel_;
    std::optional<QPointF> restingOrigin_;
    std::optional<QPoint> restingPosition_; // logical top-left (Qt window coordinates)
    QParallelAnimationGroup* hideAnimation_ = nullptr;
};

} // namespace lumivane
