#pragma once
#include "editor/EditorHost.h"
#include "editor_model/CanvasInteraction.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <memory>
#include <optional>

class QTextEdit;

namespace lumivane {

class InlineTextEditor;

// The editor's central view: the base image at a fitted, zoomable size, the
// annotations drawn live, and pointer gestures turned into document edits with the
// document's selected tool. Finished gestures are committed to the host as one
// history entry each. Sizes itself to its content; put it in a QScrollArea.
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

    // Lays out and repaints after the document was edited elsewhere (the bars): a
    // background change alters the frame around the image.
    void documentEditedElsewhere() { updateLayout(); }

    // Size of the surrounding viewport the fit scale is computed for.
    void setViewportSize(QSize size);
    // Displayed image rectangle in widget coordinates.
    QRectF imageRect() const;
    bool isEditingText() const { return editingTextAnnotationID_.has_value(); }
    // The inline text field while editing, else null.
    QTextEdit* textEditor() const;

    QSize sizeHint() const override;

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
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class InlineTextEditor;
    EditorDocument* document() const { return host_.editorDocument(); }
    void documentChangedOutside();
    void updateLayout();
    void updateDisplayScale();
    QPointF toImage(QPointF view) const;
    QPointF toView(QPointF image) const;
    QRectF toView(const QRectF& image) const;
    QRectF toImage(const QRectF& view) const;

    void beginHistoryTransactionIfNeeded();
    void endHistoryTransactionIfNeeded();
    void commitFrom(const EditorSnapshot& previous);

    void handleBackgroundTap(QPointF viewPoint);
    void handleSelectionDragChanged(QPointF viewPoint);
    void handleMarkerDragChanged(QPointF viewPoint);
    void finishMarkerDrag();
    void handleMarkerHover(QPointF viewPoint);
    void finishDrawing(QPointF viewPoint);
    void createTextAnnotation(const QRectF& viewRect);

    void beginTextEditing(const QUuid& annotationID, std::optional<EditorSnapshot> originalSnapshot);
    void finishTextEditing();
    void cancelTextEditing();
    // Forgets the editing state and hides the field without committing; with
    // restoreFocus the canvas takes the focus back if the field had it.
    void closeTextEditor(bool restoreFocus);
    void positionTextEditor();
    void textEdited(const QString& text);

    void paintAnnotation(QPainter& painter, const Annotation& annotation);
    void paintHandles(QPainter& painter, const Annotation& annotation);
    const QImage& effectPreview(const Annotation& annotation, QRect* pixelRect);

    EditorHost& host_;
    double zoomScale_ = 1.0;
    QSize viewportSize_{800, 600};
    CanvasLayout layout_;

    // Gesture state.
    enum class Gesture { none, manipulating, drawing, marker };
    Gesture gesture_ = Gesture::none;
    QPointF pressPoint_;
    QPointF currentPoint_;
    std::optional<QRectF> draftRect_;
    std::optional<std::pair<QPointF, QPointF>> draftArrowPoints_;
    std::vector<QPointF> draftMarkerPoints_;
    std::optional<double> draftMarkerLineWidth_;
    std::optional<QPointF> markerHoverPoint_;
    std::optional<double> markerHoverLineWidth_;
    std::optional<QPointF> lastEstimateLocation_;
    std::optional<Annotation> selectedAnnotationOriginal_;
    std::optional<AnnotationHandle> activeHandle_;
    std::optional<EditorSnapshot> pendingHistorySnapshot_;
    bool isManipulatingSelection_ = false;

    // Inline text editing.
    std::optional<EditorSnapshot> textEditingSnapshot_;
    std::optional<EditorSnapshot> textEditingOriginalSnapshot_;
    std::optional<QUuid> editingTextAnnotationID_;
    InlineTextEditor* textEditor_ = nullptr;
    bool finishingText_ = false;
    bool moved_ = false;
    QObject* watchedParent_ = nullptr;
    const EditorDocument* lastDocument_ = nullptr;
    // Scaled base image for the current display size.
    QPixmap scaledImage_;
    const void* scaledImageSource_ = nullptr;
    int scaledImageRevision_ = -1;

    QElapsedTimer lastTapTime_;
    std::optional<QUuid> lastTapAnnotationID_;

    struct EffectCacheEntry {
        QImage image;
        QRect pixelRect;
    };
    QHash<QString, EffectCacheEntry> effectCache_;
    int effectCacheImageRevision_ = -1;
};

} // namespace lumivane
