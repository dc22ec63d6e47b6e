#pragma once
#include "editor/EditorHost.h"
#include "editor/EffectPreviewCache.h"
#include "editor_model/CanvasInteraction.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QTextEdit;

namespace lumivane {

class CanvasTextEditing;
class CanvasTool;
class CropTool;
class MarkerTool;
class PenTool;
class SelectTool;
class SelectionGesture;
class ShapeTool;
class StepTool;
class TextTool;

// The editor's central view: the base image at a fitted, zoomable size, the
// annotations drawn live, and pointer gestures handed to the document's selected
// tool (editor/tools), which turn them into document edits. Finished gestures are
// committed to the host as one history entry each. Sizes itself to its content;
// put it in a QScrollArea.
class EditorCanvas : public QWidget {
    Q_OBJECT
public:
    explicit EditorCanvas(EditorHost& host, QWidget* parent = nullptr);
    ~EditorCanvas() override;

    void setZoomScale(double scale);
    double zoomScale() const { return zoomScale_; }

    // Ends inline text editing (committing it) and any open gesture transaction.
    void finalizeCurrentEditingState();
    void deleteSelectedAnnotation();
    // Moves the selected step marker one number earlier (−1) or later (+1), one undo step.
    void moveSelectedStep(int direction);

    // Lays out and repaints after the document was edited elsewhere (the bars): a
    // background change alters the frame around the image.
    void documentEditedElsewhere() { updateLayout(); }

    // Size of the surrounding viewport the fit scale is computed for.
    void setViewportSize(QSize size);
    // Displayed image rectangle in widget coordinates.
    QRectF imageRect() const;
    bool isEditingText() const;
    // The inline text field while editing, else null.
    QTextEdit* textEditor() const;

    QSize sizeHint() const override;

    // ---- for the tools and the text editing ----
    EditorDocument* document() const { return host_.editorDocument(); }
    EditorHost& host() const { return host_; }
    QPointF toImage(QPointF view) const;
    QPointF toView(QPointF image) const;
    QRectF toView(const QRectF& image) const;
    QRectF toImage(const QRectF& view) const;
    // View points per image point, horizontally.
    double imageToViewScale() const;
    // The mean of both axes' scales (marker spacing, new text sizes).
    double displayScale() const;
    // Runs change on the document as one undo step and repaints.
    void transact(const std::function<void(EditorDocument&)>& change);
    // Commits the document's change since `previous` as one undo step.
    void commitFrom(const EditorSnapshot& previous);
    // One annotation as the canvas shows it (cached effects, the edited text left to
    // its field), in image points.
    void paintAnnotation(QPainter& painter, const Annotation& annotation);
    // Ends inline text editing, committing it.
    void finishTextEditing();
    CanvasTextEditing& textEditing() const { return *textEditing_; }
    // An annotation moved or changed shape under a gesture.
    void annotationMoved(const QUuid& id);

signals:
    void zoomScaleChanged(double scale);
    void documentEdited();
    void backgroundTapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void documentChangedOutside();
    void updateLayout();
    void updateDisplayScale();
    // The tool of the document's selected tool.
    CanvasTool& currentTool() const;
    void cancelGestures();
    // A press and release without a drag: selects, starts text editing, or deselects.
    void handleTap(QPointF viewPoint);
    void paintImage(QPainter& painter, const EditorDocument& doc);

    EditorHost& host_;
    double zoomScale_ = 1.0;
    QSize viewportSize_{800, 600};
    CanvasLayout layout_;

    std::unique_ptr<SelectTool> select_;
    std::unique_ptr<ShapeTool> shape_;
    std::unique_ptr<CropTool> crop_;
    std::unique_ptr<TextTool> text_;
    std::unique_ptr<MarkerTool> marker_;
    std::unique_ptr<PenTool> pen_;
    std::unique_ptr<StepTool> step_;
    std::unique_ptr<SelectionGesture> selection_;
    CanvasTool* gesture_ = nullptr; // the gesture under way
    QPointF pressPoint_;
    bool moved_ = false;
    QRect exposed_; // the area being painted

    std::unique_ptr<CanvasTextEditing> textEditing_;
    QObject* watchedParent_ = nullptr;
    const EditorDocument* lastDocument_ = nullptr;
    // Scaled base image for the current display size.
    QPixmap scaledImage_;
    const void* scaledImageSource_ = nullptr;
    int scaledImageRevision_ = -1;

    QElapsedTimer lastTapTime_;
    std::optional<QUuid> lastTapAnnotationID_;
    EffectPreviewCache effects_;
};

} // namespace lumivane
