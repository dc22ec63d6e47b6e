#pragma once
#include "editor_model/EditorDocument.h"

#include <QColor>
#include <QPainter>
#include <functional>

namespace lumivane {

// What the editor canvas draws over the document in view coordinates: selection
// frames and handles, crop framing, drafts' frames and the marker's nib.
namespace CanvasOverlayPainter {

// The selection's dashed outline (not for arrows) and its handles; `toView` maps
// image points to view points.
void paintSelection(QPainter& painter, const Annotation& annotation, const std::function<QPointF(QPointF)>& toView);
// Everything of the image outside `crop` dimmed, the crop frame dashed.
void paintCropFrame(QPainter& painter, const QRectF& imageRect, const QRectF& crop);
// The rectangle dragged for a new text.
void paintTextDraft(QPainter& painter, const QRectF& rect);
// The frame around the inline text field.
void paintTextFieldFrame(QPainter& painter, const QRectF& fieldGeometry);
// The marker's nib at `center` for `lineWidth` image points shown at `scale`.
void paintMarkerNib(QPainter& painter, QPointF center, double lineWidth, double scale, QColor ink);

} // namespace CanvasOverlayPainter
} // namespace lumivane
