#include "editor/tools/SelectionGesture.h"
#include "editor/EditorCanvas.h"
#include "editor_model/StepMarkers.h"

namespace lumivane {

namespace ci = CanvasInteraction;

void SelectionGesture::grab(const AnnotationHit& hit) {
    const EditorDocument* doc = canvas_.document();
    const Annotation* a = doc ? doc->find(hit.annotation) : nullptr;
    original_ = a ? std::optional<Annotation>(*a) : std::nullopt;
    handle_ = hit.handle;
}

bool SelectionGesture::press(QPointF view) {
    pressPoint_ = view;
    return original_.has_value();
}

void SelectionGesture::move(QPointF view, bool moved) {
    if (moved)
        dragTo(view);
}

void SelectionGesture::release(QPointF view, bool moved) {
    if (moved) {
        dragTo(view);
        finish();
    }
    original_.reset();
    handle_.reset();
}

void SelectionGesture::cancel() {
    original_.reset();
    handle_.reset();
    before_.reset();
}

void SelectionGesture::finish() {
    if (!before_)
        return;
    const EditorSnapshot previous = std::move(*before_);
    before_.reset();
    canvas_.commitFrom(previous);
}

void SelectionGesture::dragTo(QPointF view) {
    EditorDocument* doc = canvas_.document();
    if (!doc || !original_)
        return;
    if (!before_) {
        // The selection is part of the gesture's result, not of its starting point.
        doc->selectedAnnotationID = original_->id;
        before_ = doc->snapshot();
    }
    const Annotation& original = *original_;
    Annotation a = original;
    const QPointF p = canvas_.toImage(view);
    if (handle_) {
        if (original.kind == AnnotationKind::step) {
            a.arrowEnd = StepMarker::tailTip(original.rect, p); // dragged into the circle: no tail
        } else if (*handle_ == AnnotationHandle::arrowStart || *handle_ == AnnotationHandle::arrowEnd) {
            QPointF start = original.arrowStart.value_or(original.rect.topLeft());
            QPointF end = original.arrowEnd.value_or(original.rect.bottomRight());
            (*handle_ == AnnotationHandle::arrowStart ? start : end) = p;
            a.arrowStart = start;
            a.arrowEnd = end;
            a.rect = ci::arrowRect(start, end, a.lineWidth);
        } else {
            a.rect = ci::resizedRect(original.rect, *handle_, p);
        }
    } else {
        const QPointF delta = p - canvas_.toImage(pressPoint_);
        a.rect = original.rect.translated(delta);
        if (a.arrowStart)
            a.arrowStart = *a.arrowStart + delta;
        if (a.arrowEnd)
            a.arrowEnd = *a.arrowEnd + delta;
        for (QPointF& m : a.markerPoints)
            m += delta;
    }
    doc->update(a);
    canvas_.annotationMoved(a.id);
}

} // namespace lumivane
