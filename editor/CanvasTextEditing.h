#pragma once
#include "editor_model/EditorDocument.h"

#include <QObject>
#include <optional>

class QTextEdit;

namespace lumivane {

class EditorCanvas;
class InlineTextEditor;

// Typing a text annotation in place on the canvas: the field over the annotation,
// the text written through to the document while typing, and the one undo step it
// makes when it ends. Return commits, Escape restores the document as it was before,
// blank text removes the annotation.
class CanvasTextEditing : public QObject {
    Q_OBJECT
public:
    explicit CanvasTextEditing(EditorCanvas& canvas);
    ~CanvasTextEditing() override;

    // Starts editing the annotation, ending any other editing first. `original` is
    // the document Escape returns to (default: as it is now).
    void begin(const QUuid& annotationID, std::optional<EditorSnapshot> original);
    // Commits the editing as one undo step.
    void finish();
    void cancel();
    // Forgets the editing and hides the field without committing; with restoreFocus
    // the canvas takes the focus back if the field had it.
    void close(bool restoreFocus);
    // The document before the editing began, while editing.
    const std::optional<EditorSnapshot>& snapshotBefore() const { return before_; }

    bool isEditing() const { return editedID_.has_value(); }
    bool isEditing(const QUuid& id) const { return editedID_ == id; }
    const std::optional<QUuid>& editedID() const { return editedID_; }
    // The field while editing, else null.
    QTextEdit* field() const;
    // The field's place while it is shown.
    std::optional<QRectF> fieldGeometry() const;
    // Places and styles the field over the annotation at the current display scale.
    void positionField();

private:
    void textEdited(const QString& text);

    EditorCanvas& canvas_;
    InlineTextEditor* field_ = nullptr;
    std::optional<QUuid> editedID_;
    std::optional<EditorSnapshot> before_;
    std::optional<EditorSnapshot> original_;
    bool finishing_ = false;
};

} // namespace lumivane
