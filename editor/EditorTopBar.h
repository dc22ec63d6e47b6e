#pragma once
#include "editor/AnnotationStylePopover.h"
#include "editor/BackgroundStylePopover.h"
#include "editor/EditorHost.h"
#include "editor_model/EditorToolbarRules.h"
#include "editor_model/StyleApplication.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>

class QPushButton;
class QToolButton;

namespace lumivane {

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
    // A style choice on the selection when it fits, else on the settings' default.
    void applyStyleChoice(const toolbar::StyleChoice& choice);

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

} // namespace lumivane
