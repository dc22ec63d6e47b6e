#pragma once
#include "editor/tools/CanvasTool.h"

#include <optional>

namespace lumivane {

struct Annotation;

// Numbered steps: a click places the next number; dragging from the click pulls out
// a pointer tail to where the pointer is let go.
class StepTool : public CanvasTool {
public:
    using CanvasTool::CanvasTool;
    bool press(QPointF view) override;
    void move(QPointF view, bool moved) override;
    void release(QPointF view, bool moved) override;
    void cancel() override;
    void paintPreview(QPainter& painter) const override;

private:
    std::optional<Annotation> stepTo(std::optional<QPointF> tailEnd) const;

    std::optional<QPointF> pressPoint_;
    std::optional<QPointF> tailEnd_;
};

} // namespace lumivane
