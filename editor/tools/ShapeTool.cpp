#include "editor/tools/ShapeTool.h"
#include "editor/EditorCanvas.h"
#include "editor_model/CanvasInteraction.h"
#include "settings/AppSettings.h"

#include <QLineF>

namespace lumivane {

namespace ci = CanvasInteraction;

bool ShapeTool::press(QPointF view) {
    pressPoint_ = view;
    draftEnd_.reset();
    return true;
}

void ShapeTool::move(QPointF view, bool) {
    draftEnd_ = view;
    canvas_.update();
}

void ShapeTool::release(QPointF view, bool moved) {
    draftEnd_.reset();
    if (!moved)
        return;
    canvas_.finishTextEditing();
    std::optional<Annotation> a = annotationTo(view);
    if (!a)
        return;
    canvas_.transact([&](EditorDocument& doc) { doc.add(*a); });
}

std::optional<Annotation> ShapeTool::annotationTo(QPointF end) const {
    const EditorDocument* doc = canvas_.document();
    if (!doc)
        return std::nullopt;
    const auto kind = createsKind(doc->selectedTool);
    if (!kind)
        return std::nullopt;
    EditorHost& host = canvas_.host();
    const QRectF rect = canvas_.toImage(QRectF(pressPoint_, end).normalized()).normalized();
    Annotation a = ci::newAnnotation(*kind, rect, host.configuredAnnotationColor(*kind),
                                     host.settings().defaultAnnotationLineWidth());
    if (*kind == AnnotationKind::arrow) {
        if (!(QLineF(pressPoint_, end).length() > ci::minimumArrowLength))
            return std::nullopt;
        a.arrowStart = canvas_.toImage(pressPoint_);
        a.arrowEnd = canvas_.toImage(end);
        a.rect = ci::arrowRect(*a.arrowStart, *a.arrowEnd, a.lineWidth);
    }
    return a;
}

void ShapeTool::paintPreview(QPainter& painter) const {
    if (!draftEnd_)
        return;
    std::optional<Annotation> draft = annotationTo(*draftEnd_);
    if (!draft)
        return;
    // A draft effect is computed afresh, never taken from the previews of annotations.
    if (draft->kind == AnnotationKind::blur || draft->kind == AnnotationKind::pixelate)
        draft->id = QUuid();
    canvas_.paintAnnotation(painter, *draft);
}

} // namespace lumivane
