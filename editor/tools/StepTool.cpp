#include "editor/tools/StepTool.h"
#include "editor/EditorCanvas.h"
#include "editor_model/CanvasInteraction.h"
#include "editor_model/StepMarkers.h"

namespace lumivane {

namespace ci = CanvasInteraction;

bool StepTool::press(QPointF view) {
    if (!canvas_.document())
        return false;
    pressPoint_ = view;
    tailEnd_.reset();
    return true;
}

void StepTool::move(QPointF view, bool moved) {
    if (!moved)
        return;
    tailEnd_ = view;
    canvas_.update();
}

void StepTool::release(QPointF view, bool moved) {
    const std::optional<QPointF> tail = moved ? std::optional<QPointF>(view) : std::nullopt;
    std::optional<Annotation> a = stepTo(tail);
    cancel();
    if (!a)
        return;
    canvas_.finishTextEditing();
    canvas_.transact([&](EditorDocument& doc) { doc.add(*a); });
}

void StepTool::cancel() {
    pressPoint_.reset();
    tailEnd_.reset();
}

std::optional<Annotation> StepTool::stepTo(std::optional<QPointF> tailEnd) const {
    const EditorDocument* doc = canvas_.document();
    if (!doc || !pressPoint_)
        return std::nullopt;
    EditorHost& host = canvas_.host();
    const double scale = canvas_.displayScale();
    const double diameter = host.sessionStyle().stepDiameter > 0
                                ? host.sessionStyle().stepDiameter
                                : StepMarker::defaultDiameter / (scale > 0.001 ? scale : 1.0);
    const QRectF circle = StepMarker::circleRect(canvas_.toImage(*pressPoint_), diameter);
    Annotation a =
        ci::newAnnotation(AnnotationKind::step, circle, host.configuredAnnotationColor(AnnotationKind::step), 0);
    a.text = QString::number(nextStepNumber(doc->annotations));
    if (tailEnd)
        a.arrowEnd = StepMarker::tailTip(circle, canvas_.toImage(*tailEnd));
    return a;
}

void StepTool::paintPreview(QPainter& painter) const {
    if (!tailEnd_)
        return;
    if (const std::optional<Annotation> draft = stepTo(tailEnd_))
        canvas_.paintAnnotation(painter, *draft);
}

} // namespace lumivane
