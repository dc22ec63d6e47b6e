#pragma once
#include "editor/EditorHost.h"
#include "editor/EditorStylePopovers.h"
#include "editor_model/EditorToolbarRules.h"
#include "export/DragExportCache.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>

class QHBoxLayout;
class QLabel;
class QMenu;
class QToolButton;
class QPushButton;

namespace lumivane {

// What the bottom bar's exports need beyond the document: the current capture.
struct EditorExportContext {
    std::function<ImageRef()> captureImage;            // null when there is no capture
    std::function<ImageExportProfile()> exportProfile; // of the capture's source
};

// The bar above the canvas: copy, save, tools, background, undo/redo, style, crop,
// canvas and project menus, "Save as..." and "Done".
class EditorTopBar : public QWidget {
    Q_OBJECT
public:
    explicit EditorTopBar(EditorHost& host, QWidget* parent = nullptr);

    // Ends inline text editing (set by the canvas host), then clears the selection.
    void setInlineEditingFinalizer(std::function<void()> finalizer) { finalizeInlineEditing_ = std::move(finalizer); }
    void finalizeEditingSelection();
    // Project file dialogs; replaced in tests.
    std::function<std::optional<QString>()> chooseProjectSavePath;
    std::function<std::optional<QString>()> chooseProjectOpenPath;

    // Re-reads the document and history.
    void refresh();

    // Style apply operations: the selection when it fits, else the settings default.
    void applyAnnotationColor(const RgbaColor& color);
    void applyHighlightColor(const RgbaColor& color);
    void applyTextFontSize(double size);
    void applyStrokeWidth(double width);
    void applyMarkerLineWidth(double width);
    void applyEffectIntensity(double intensity);
    void applyBackgroundEnabled(bool enabled);
    void applyBackgroundColor(const RgbaColor& color);
    void applyBackgroundPadding(double value);
    void applyBackgroundCornerRadius(double value);
    void applyBackgroundShadowOpacity(double value);

    // Controls, for tests and the window.
    QToolButton* toolButton(AnnotationTool tool) const { return toolButtons_.at(tool); }
    QToolButton* copyButton() const { return copy_; }
    QToolButton* saveButton() const { return save_; }
    QToolButton* backgroundButton() const { return background_; }
    QToolButton* undoButton() const { return undo_; }
    QToolButton* redoButton() const { return redo_; }
    QToolButton* styleButton() const { return style_; }
    QPushButton* cropCancelButton() const { return cropCancel_; }
    QPushButton* cropApplyButton() const { return cropApply_; }
    QToolButton* canvasMenuButton() const { return canvasMenu_; }
    QToolButton* projectMenuButton() const { return projectMenu_; }
    QPushButton* saveAsButton() const { return saveAs_; }
    QPushButton* doneButton() const { return done_; }
    std::optional<toolbar::StyleKind> activeStyleKind() const;
    toolbar::StyleDefaults styleDefaults() const;
    // The popovers while shown.
    AnnotationStylePopover* stylePopover() const { return stylePopover_; }
    BackgroundStylePopover* backgroundPopover() const { return backgroundPopover_; }
    void presentStylePopover();
    void presentBackgroundPopover();

signals:
    // The document changed through the bar (tool choice, styles, background).
    void documentEdited();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Runs change on the document, then records one undo step when it changed something.
    template <class Change>
    void changeBackground(Change change);
    void selectTool(AnnotationTool tool);
    void saveEditedDocument();
    void refreshStyleButton();
    // Compacts the right part's menus when the bar is too narrow for everything.
    void fitToWidth();

    EditorHost& host_;
    std::function<void()> finalizeInlineEditing_;
    std::map<AnnotationTool, QToolButton*> toolButtons_;
    QToolButton *copy_, *save_, *background_, *undo_, *redo_, *style_, *canvasMenu_, *projectMenu_;
    QPushButton *cropCancel_, *cropApply_, *saveAs_, *done_;
    QWidget* left_ = nullptr; // the scrolling part's content
    QPointer<AnnotationStylePopover> stylePopover_;
    QPointer<BackgroundStylePopover> backgroundPopover_;
};

// The drag-out control: a press and a 3-point move drag the rendered image as PNG.
// The PNG is encoded ahead in the background for every new state of the picture.
class DragExportButton : public QWidget {
    Q_OBJECT
public:
    explicit DragExportButton(QWidget* parent = nullptr);
    using Payload = DragExportCache::Payload;
    // A key per state of the picture and a source that renders that state (the
    // source may run on the export thread).
    std::function<quint64()> keyProvider;
    std::function<DragExportCache::ImageSource()> sourceProvider;
    std::function<ImageExportOptions()> optionsProvider;
    void setAvailable(bool available);
    bool isAvailable() const { return available_; }
    QString title() const { return QStringLiteral("Drag Me"); }
    // Starts encoding the current picture unless it is done or under way.
    void prepareDragPayloadIfNeeded();
    // The current picture's payload: file URL first, PNG bytes second; encodes on
    // the spot while the background encoding has not finished (a drag gesture
    // waits for the background instead).
    std::optional<Payload> dragPayload();
    DragExportCache& cache() { return cache_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void payloadPrepared(quint64 key);

    DragExportCache cache_;
    bool available_ = false;
    bool waitingForPayload_ = false; // a drag waits for the background encoding
    std::optional<QPoint> pressAt_;
    bool started_ = false;
};

// The bar below the canvas: zoom menu and steps, drag-out control, share slot.
class EditorBottomBar : public QWidget {
    Q_OBJECT
public:
    EditorBottomBar(EditorHost& host, EditorExportContext context, QWidget* parent = nullptr);

    void setZoomScale(double zoom);
    double zoomScale() const { return zoom_; }
    void stepZoom(int direction);
    // Takes a copy of the document for the exports and re-evaluates availability.
    void refresh();
    // The rendered document, else the capture's image.
    std::optional<QImage> exportImage() const;
    bool exportImageIsAvailable() const;

    QToolButton* zoomMenuButton() const { return zoomMenu_; }
    QToolButton* zoomOutButton() const { return zoomOut_; }
    QToolButton* zoomInButton() const { return zoomIn_; }
    DragExportButton* dragButton() const { return drag_; }
    QWidget* shareButton() const { return share_; }
    // Key of the picture the exports show; changes only when the picture does.
    quint64 exportGeneration() const { return exportGeneration_; }
    // Puts the share control into its slot at the right end (the bar takes it over).
    void setShareButton(QWidget* button);

signals:
    void zoomScaleChosen(double zoom);

private:
    EditorHost& host_;
    EditorExportContext context_;
    double zoom_ = 1.0;
    std::optional<EditorDocument> documentCopy_;
    quint64 exportGeneration_ = 0; // one per refresh: the drag cache's key
    QToolButton *zoomMenu_, *zoomOut_, *zoomIn_;
    DragExportButton* drag_;
    QWidget* share_ = nullptr;
    QHBoxLayout* row_;
};

} // namespace lumivane
