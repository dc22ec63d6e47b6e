#pragma once
#include "editor/tools/CanvasTool.h"

#include <QRectF>
#include <optional>

namespace lumivane {

// Dragging the place of a new text annotation, typed in at once.
class TextTool : public CanvasTool {
public:
    using CanvasTool::CanvasTool;
    bool press(QPointF view) override;
    void move(QPointF view, bool moved) override;
    void release(QPointF view, bool moved) override;
    void cancel() override { draft_.reset(); }
    void paintOverlay(QPainter& painter) const override;

private:
    QPointF pressPoint_;
    std::optional<QRectF> draft_;
};

} // namespace lumivane
