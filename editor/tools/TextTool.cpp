#include "editor/tools/TextTool.h"
#include "editor/CanvasOverlayPainter.h"
#include "editor/CanvasTextEditing.h"
#include "editor/EditorCanvas.h"
#include "editor_model/CanvasInteraction.h"
#include "settings/AppSettings.h"

namespace lumivane {

namespace ci = CanvasInteraction;

bool TextTool::press(QPointF view) {
    pressPoint_ = view;
    draft_.reset();
    return true;
}

void TextTool::move(QPointF view, bool) {
    draft_ = QRectF(pressPoint_, view).normalized();
    canvas_.update();
}

void TextTool::release(QPointF view, bool moved) {
    draft_.reset();
    if (!moved)
        return;
    canvas_.finishTextEditing();
    EditorDocument* doc = canvas_.document();
    if (!doc)
        return;
    EditorHost& host = canvas_.host();
    const double f = ci::newTextFontSize(host.settings().defaultTextFontSize(), canvas_.displayScale());
    const QRectF dragged = canvas_.toImage(QRectF(pressPoint_, view).normalized());
    Annotation a = ci::newAnnotation(AnnotationKind::text, ci::newTextRect(dragged, f),
                                     host.configuredAnnotationColor(AnnotationKind::text), 0);
    a.fontSize = f;
    a.textBackground = host.sessionStyle().textBackground;
    const EditorSnapshot previous = doc->snapshot();
    doc->add(a);
    canvas_.commitFrom(previous);
    // Escape while typing returns to the document without the new annotation.
    canvas_.textEditing().begin(a.id, previous);
}

void TextTool::paintOverlay(QPainter& painter) const {
    if (draft_)
        CanvasOverlayPainter::paintTextDraft(painter, *draft_);
}

} // namespace lumivane
