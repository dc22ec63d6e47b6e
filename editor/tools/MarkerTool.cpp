#include "editor/tools/MarkerTool.h"
#include "editor/AnnotationPainter.h"
#include "editor/CanvasOverlayPainter.h"
#include "editor/EditorCanvas.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/CanvasInteraction.h"

#include <QLineF>

namespace lumivane {

namespace ci = CanvasInteraction;

bool MarkerTool::press(QPointF view) {
    const EditorDocument* doc = canvas_.document();
    if (!doc || !doc->baseImage)
        return false;
    lineWidth_ = hoverLineWidth_ && hoverPoint_ ? *hoverLineWidth_
                                                : ci::estimateMarkerLineWidth(*doc->baseImage, canvas_.toImage(view));
    points_ = {view};
    hoverPoint_.reset();
    return true;
}

void MarkerTool::move(QPointF view, bool) {
    extend(view);
}

void MarkerTool::release(QPointF view, bool moved) {
    if (moved)
        extend(view);
    finish();
}

void MarkerTool::cancel() {
    points_.clear();
    lineWidth_.reset();
    hoverPoint_.reset();
    lastEstimateLocation_.reset();
}

void MarkerTool::extend(QPointF view) {
    const EditorDocument* doc = canvas_.document();
    if (!doc || points_.empty() || !lineWidth_)
        return;
    const double spacing = ci::markerPointSpacing(*lineWidth_, canvas_.displayScale());
    if (QLineF(points_.back(), view).length() > spacing) {
        points_.push_back(view);
        canvas_.update();
    }
}

void MarkerTool::finish() {
    std::vector<QPointF> viewPoints = std::move(points_);
    points_.clear();
    const std::optional<double> width = lineWidth_;
    lineWidth_.reset();
    if (!canvas_.document() || !width || viewPoints.size() < 2 ||
        !(ci::pathLength(viewPoints) > ci::minimumMarkerLength))
        return;
    std::vector<QPointF> points;
    points.reserve(viewPoints.size());
    for (QPointF p : viewPoints)
        points.push_back(canvas_.toImage(p));
    canvas_.finishTextEditing();
    Annotation a = ci::newAnnotation(AnnotationKind::marker, QRectF(),
                                     canvas_.host().configuredAnnotationColor(AnnotationKind::marker), 0);
    a.lineWidth = *width;
    a.markerPoints = refinedMarkerPoints(points, *width);
    const double pad = MarkerMetrics(*width).visualPadding;
    if (auto bounds = markerBounds(a.markerPoints))
        a.rect = bounds->adjusted(-pad, -pad, pad, pad);
    canvas_.transact([&](EditorDocument& doc) { doc.add(a); });
}

void MarkerTool::hover(QPointF view) {
    const EditorDocument* doc = canvas_.document();
    const bool show =
        doc && doc->baseImage && doc->selectedTool == AnnotationTool::marker && canvas_.imageRect().contains(view);
    if (!show) {
        leave();
        return;
    }
    if (!lastEstimateLocation_ || QLineF(*lastEstimateLocation_, view).length() >= 15 || !hoverLineWidth_) {
        const double estimate = ci::estimateMarkerLineWidth(*doc->baseImage, canvas_.toImage(view));
        hoverLineWidth_ = hoverLineWidth_ ? (*hoverLineWidth_ + estimate) / 2 : estimate;
        lastEstimateLocation_ = view;
    }
    hoverPoint_ = view;
    canvas_.update();
}

void MarkerTool::leave() {
    if (hoverPoint_) {
        hoverPoint_.reset();
        canvas_.update();
    }
}

void MarkerTool::paintPreview(QPainter& painter) const {
    if (points_.size() < 2 || !lineWidth_)
        return;
    Annotation draft = ci::newAnnotation(AnnotationKind::marker, QRectF(),
                                         canvas_.host().configuredAnnotationColor(AnnotationKind::marker), 0);
    draft.lineWidth = *lineWidth_;
    for (QPointF p : points_)
        draft.markerPoints.push_back(canvas_.toImage(p));
    canvas_.paintAnnotation(painter, draft);
}

void MarkerTool::paintHover(QPainter& painter) const {
    if (!hoverPoint_ || !hoverLineWidth_ || !points_.empty())
        return;
    const QColor ink = AnnotationPainter::colorOf(canvas_.host().configuredAnnotationColor(AnnotationKind::marker));
    CanvasOverlayPainter::paintMarkerNib(painter, *hoverPoint_, *hoverLineWidth_, canvas_.imageToViewScale(), ink);
}

} // namespace lumivane
