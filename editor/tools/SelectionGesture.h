#pragma once
#include "editor/tools/CanvasTool.h"
#include "editor_model/CanvasInteraction.h"

#include <optional>

namespace lumivane {

// Moving an annotation by its body, or resizing it (an arrow: moving an end) by a
// handle. The whole drag is one undo step; a press without a drag selects.
class SelectionGesture : public CanvasTool {
public:
    using CanvasTool::CanvasTool;

    // The annotation and the handle (none: the body) the press hit.
    void grab(const AnnotationHit& hit);
    bool press(QPointF view) override;
    void move(QPointF view, bool moved) override;
    void release(QPointF view, bool moved) override;
    void cancel() override;
    // Commits a drag under way.
    void finish();

private:
    void dragTo(QPointF view);

    QPointF pressPoint_;
    std::optional<Annotation> original_;
    std::optional<AnnotationHandle> handle_;
    std::optional<EditorSnapshot> before_; // the document before the drag, while dragging
};

} // namespace lumivane
