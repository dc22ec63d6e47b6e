#pragma once
#include "editor/tools/CanvasTool.h"

#include <QRectF>
#include <optional>

namespace lumivane {

// Dragging the rectangle to crop to; the document keeps it until applied or cancelled.
class CropTool : public CanvasTool {
public:
    using CanvasTool::CanvasTool;
    bool press(QPointF view) override;
    void move(QPointF view, bool moved) override;
    void release(QPointF view, bool moved) override;
    void cancel() override { draft_.reset(); }
    // The outside of the dragged rectangle (else of the document's) dimmed, the frame dashed.
    void paintOverlay(QPainter& painter) const override;

private:
    QPointF pressPoint_;
    std::optional<QRectF> draft_;
};

} // namespace lumivane
