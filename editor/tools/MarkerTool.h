#pragma once
#include "editor/tools/CanvasTool.h"

#include <optional>
#include <vector>

namespace lumivane {

// The marker: a chisel stroke along the drag, its width fitted to the text under the
// pointer. Hovering shows the nib at the width a stroke would start with.
class MarkerTool : public CanvasTool {
public:
    using CanvasTool::CanvasTool;
    bool press(QPointF view) override;
    void move(QPointF view, bool moved) override;
    void release(QPointF view, bool moved) override;
    void hover(QPointF view) override;
    void leave() override;
    void cancel() override;
    void paintPreview(QPainter& painter) const override;
    void paintHover(QPainter& painter) const override;
    Qt::CursorShape cursor(bool) const override { return Qt::CrossCursor; }

private:
    void extend(QPointF view);
    void finish();

    std::vector<QPointF> points_; // the stroke in view points
    std::optional<double> lineWidth_;
    std::optional<QPointF> hoverPoint_;
    std::optional<double> hoverLineWidth_;
    std::optional<QPointF> lastEstimateLocation_;
};

} // namespace lumivane
