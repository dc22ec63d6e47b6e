#pragma once
#include "editor/tools/CanvasTool.h"

#include <QRectF>
#include <vector>

namespace lumivane {

// The freehand pen: a smoothed stroke along the drag in the stroke colour and width.
// Each stroke is one undo step; only the stroke's own area repaints while drawing.
class PenTool : public CanvasTool {
public:
    using CanvasTool::CanvasTool;
    bool press(QPointF view) override;
    void move(QPointF view, bool moved) override;
    void release(QPointF view, bool moved) override;
    void cancel() override;
    void paintPreview(QPainter& painter) const override;
    Qt::CursorShape cursor(bool) const override { return Qt::CrossCursor; }

    // Minimum distance between recorded points, in view points.
    static constexpr double pointSpacing = 1.5;

private:
    void extend(QPointF view);
    void finish();

    std::vector<QPointF> points_; // the stroke in view points
};

} // namespace lumivane
