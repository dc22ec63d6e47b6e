#pragma once
#include "editor/tools/CanvasTool.h"
#include "editor_model/EditorDocument.h"

#include <QRectF>
#include <optional>

namespace lumivane {

// Tools that draw an annotation over a dragged rectangle (rectangle, ellipse,
// highlight, blur, pixelate, spotlight) or along a dragged line (arrow).
class ShapeTool : public CanvasTool {
public:
    using CanvasTool::CanvasTool;
    bool press(QPointF view) override;
    void move(QPointF view, bool moved) override;
    void release(QPointF view, bool moved) override;
    void cancel() override { draftEnd_.reset(); }
    void paintPreview(QPainter& painter) const override;

private:
    // The annotation the drag from the press to `end` makes (view points), if any.
    std::optional<Annotation> annotationTo(QPointF end) const;

    QPointF pressPoint_;
    std::optional<QPointF> draftEnd_;
};

} // namespace lumivane
