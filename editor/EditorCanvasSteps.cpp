// The canvas's commands for numbered steps: reordering by keys and context menu.
#include "editor/CanvasTextEditing.h"
#include "editor/EditorCanvas.h"
#include "editor_model/StepMarkers.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace lumivane {

void EditorCanvas::moveSelectedStep(int direction) {
    const EditorDocument* doc = document();
    if (!doc || !doc->selectedAnnotationID)
        return;
    const QUuid id = *doc->selectedAnnotationID;
    transact([&](EditorDocument& d) { moveStep(d.annotations, id, direction); });
}

void EditorCanvas::contextMenuEvent(QContextMenuEvent* event) {
    EditorDocument* doc = document();
    const auto hit = doc ? CanvasInteraction::hitTest(doc->annotations, toImage(QPointF(event->pos()))) : std::nullopt;
    const Annotation* a = hit ? doc->find(hit->annotation) : nullptr;
    if (!a || a->kind != AnnotationKind::step || textEditing_->isEditing())
        return;
    finishTextEditing();
    if (doc->selectedAnnotationID != a->id) {
        doc->selectedAnnotationID = a->id;
        emit documentEdited();
        update();
    }
    const QUuid id = a->id;
    std::vector<Annotation> probe = doc->annotations;
    QMenu menu(this);
    QAction* earlier = menu.addAction(QStringLiteral("前へ（番号を一つ前に）"));
    earlier->setShortcut(QKeySequence(Qt::Key_BracketLeft));
    earlier->setEnabled(moveStep(probe, id, -1));
    probe = doc->annotations;
    QAction* later = menu.addAction(QStringLiteral("後へ（番号を一つ後に）"));
    later->setShortcut(QKeySequence(Qt::Key_BracketRight));
    later->setEnabled(moveStep(probe, id, 1));
    menu.addSeparator();
    QAction* remove = menu.addAction(QStringLiteral("削除"));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == earlier)
        moveSelectedStep(-1);
    else if (chosen == later)
        moveSelectedStep(1);
    else if (chosen == remove)
        deleteSelectedAnnotation();
}

} // namespace lumivane
