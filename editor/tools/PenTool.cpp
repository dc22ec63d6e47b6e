#include "editor/tools/PenTool.h"
#include "editor/EditorCanvas.h"
#include "editor_model/CanvasInteraction.h"
#include "editor_model/PenStroke.h"
#include "settings/AppSettings.h"

#include <QLineF>
#include <cmath>

namespace lumivane {

namespace ci = CanvasInteraction;

namespace {
Annotation penAnnotation(EditorCanvas& canvas) {
    EditorHost& host = canvas.host();
    return ci::newAnnotation(AnnotationKind::pen, QRectF(), host.configuredAnnotationColor(AnnotationKind::pen),
                             host.settings().defaultAnnotationLineWidth());
}
} // namespace

bool PenTool::press(QPointF view) {
    if (!canvas_.document())
        return false;
    points_ = {view};
    return true;
}

void PenTool::move(QPointF view, bool) {
    extend(view);
}

void PenTool::release(QPointF view, bool moved) {
    if (moved)
        extend(view);
    finish();
}

void PenTool::cancel() {
    points_.clear();
}

void PenTool::extend(QPointF view) {
    if (points_.empty() || !(QLineF(points_.back(), view).length() >= pointSpacing))
        return;
    const QPointF last = points_.back();
    points_.push_back(view);
    // The new segment and the curve before it, grown by the stroke's width.
    const double width = canvas_.host().settings().defaultAnnotationLineWidth() * canvas_.imageToViewScale();
    const QPointF before = points_.size() > 2 ? points_[points_.size() - 3] : last;
    const double m = std::ceil(width / 2 + 3);
    QRectF dirty = QRectF(before, view).normalized() | QRectF(last, view).normalized();
    canvas_.update(dirty.adjusted(-m, -m, m, m).toAlignedRect());
}

void PenTool::finish() {
    std::vector<QPointF> viewPoints = std::move(points_);
    points_.clear();
    if (!canvas_.document() || viewPoints.size() < 2 || !(ci::pathLength(viewPoints) > ci::clickThreshold))
        return;
    std::vector<QPointF> points;
    points.reserve(viewPoints.size());
    for (QPointF p : viewPoints)
        points.push_back(canvas_.toImage(p));
    canvas_.finishTextEditing();
    Annotation a = penAnnotation(canvas_);
    const double scale = canvas_.imageToViewScale();
    a.markerPoints = thinnedPenPoints(points, 2 * pointSpacing / (scale > 0 ? scale : 1));
    a.rebuildDerivedRect();
    canvas_.transact([&](EditorDocument& doc) { doc.add(a); });
}

void PenTool::paintPreview(QPainter& painter) const {
    if (points_.size() < 2)
        return;
    Annotation draft = penAnnotation(canvas_);
    draft.markerPoints.reserve(points_.size());
    for (QPointF p : points_)
        draft.markerPoints.push_back(canvas_.toImage(p));
    canvas_.paintAnnotation(painter, draft);
}

} // namespace lumivane
