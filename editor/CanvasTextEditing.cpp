#include "editor/CanvasTextEditing.h"
#include "editor/AnnotationPainter.h"
#include "editor/EditorCanvas.h"
#include "editor/InlineTextEditor.h"
#include "editor_model/AnnotationGeometry.h"

#include <QScrollBar>
#include <QTimer>
#include <cmath>

namespace lumivane {

CanvasTextEditing::CanvasTextEditing(EditorCanvas& canvas) : canvas_(canvas) {}

CanvasTextEditing::~CanvasTextEditing() {
    if (field_) {
        field_->onCommit = nullptr;
        field_->onCancel = nullptr;
    }
    if (editedID_)
        canvas_.host().setEditorIsEditingText(false);
}

QTextEdit* CanvasTextEditing::field() const {
    return editedID_ ? field_ : nullptr;
}

std::optional<QRectF> CanvasTextEditing::fieldGeometry() const {
    if (!editedID_ || !field_ || !field_->isVisible())
        return std::nullopt;
    return QRectF(field_->geometry());
}

void CanvasTextEditing::begin(const QUuid& annotationID, std::optional<EditorSnapshot> original) {
    if (editedID_ && *editedID_ != annotationID)
        finish();
    EditorDocument* doc = canvas_.document();
    if (!doc || !doc->find(annotationID))
        return;
    doc->selectedAnnotationID = annotationID;
    editedID_ = annotationID;
    before_ = doc->snapshot();
    original_ = original ? std::move(original) : before_;
    canvas_.host().setEditorIsEditingText(true);
    if (!field_) {
        field_ = new InlineTextEditor(&canvas_);
        connect(field_, &QTextEdit::textChanged, this, [this] {
            if (field_)
                textEdited(field_->toPlainText());
        });
    }
    field_->onCommit = [this] { finish(); };
    field_->onCancel = [this] { cancel(); };
    field_->setCommitting(true); // the set-up below must not commit through focus changes
    field_->setTextIfDifferent(doc->find(annotationID)->text);
    positionField();
    // The field's own undo starts here, after the text and its line format were set.
    field_->document()->clearUndoRedoStacks();
    field_->setCommitting(false);
    field_->show();
    field_->raise();
    emit canvas_.documentEdited();
    QTimer::singleShot(0, field_, [this, annotationID] {
        if (field_ && editedID_ == annotationID)
            field_->focusAtEnd();
    });
    canvas_.update();
}

void CanvasTextEditing::textEdited(const QString& text) {
    EditorDocument* doc = canvas_.document();
    if (!doc || !editedID_)
        return;
    Annotation* a = doc->find(*editedID_);
    if (!a || a->text == text)
        return;
    a->text = text;
    positionField();
    canvas_.update();
}

void CanvasTextEditing::positionField() {
    if (!field_)
        return;
    const EditorDocument* doc = canvas_.document();
    const Annotation* a = doc && editedID_ ? doc->find(*editedID_) : nullptr;
    if (!a)
        return;
    // The drawn text's box (AnnotationPainter::paintText) in view points.
    const double scale = canvas_.imageToViewScale();
    const QRectF r = a->rect.normalized();
    const QSizeF display = TextAnnotationLayout::displaySize(a->text, a->fontSize);
    const QRectF box(r.topLeft(), QSizeF(std::max(r.width(), display.width()), std::max(r.height(), display.height())));
    field_->setStyle(a->fontSize, scale, AnnotationPainter::colorOf(a->color));
    // A spare line of room (the field is transparent) keeps it from scrolling: its own
    // lines can be a little taller than the drawn ones, and it scrolls by whole lines.
    const int spareLine = int(std::ceil(field_->fontMetrics().lineSpacing()));
    field_->setGeometry(canvas_.toView(box).normalized().toAlignedRect().adjusted(0, 0, 4, spareLine));
    // The field holds the whole text; a scroll made before it grew would hide the first lines.
    field_->verticalScrollBar()->setValue(0);
}

void CanvasTextEditing::finish() {
    if (!editedID_ || finishing_)
        return;
    // Text still being composed in an input method is part of what is committed.
    field_->commitComposition();
    finishing_ = true;
    field_->setCommitting(true);
    EditorDocument* doc = canvas_.document();
    const QUuid id = *editedID_;
    editedID_.reset();
    if (doc) {
        if (Annotation* a = doc->find(id); a && a->text.trimmed().isEmpty())
            doc->remove(id);
    }
    const std::optional<EditorSnapshot> previous = std::move(before_);
    close(true);
    finishing_ = false;
    if (doc && previous)
        canvas_.commitFrom(*previous);
    canvas_.update();
}

void CanvasTextEditing::close(bool restoreFocus) {
    editedID_.reset();
    before_.reset();
    original_.reset();
    if (field_) {
        const bool hadFocus = field_->hasFocus();
        field_->setCommitting(true); // hiding moves the focus, which must not commit
        field_->hide();
        if (restoreFocus && hadFocus)
            canvas_.setFocus(Qt::OtherFocusReason);
        field_->setCommitting(false);
    }
    canvas_.host().setEditorIsEditingText(false);
}

void CanvasTextEditing::cancel() {
    if (!editedID_ || finishing_)
        return;
    finishing_ = true;
    field_->setCommitting(true);
    EditorDocument* doc = canvas_.document();
    const std::optional<EditorSnapshot> original = original_ ? std::move(original_) : std::move(before_);
    editedID_.reset();
    if (doc && original) {
        doc->annotations = original->annotations;
        doc->selectedAnnotationID = original->selectedAnnotationID;
    }
    close(true);
    finishing_ = false;
    emit canvas_.documentEdited();
    canvas_.update();
}

} // namespace lumivane
