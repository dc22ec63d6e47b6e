#pragma once
#include "editor_model/EditorDocument.h"

#include <QImage>
#include <QPainter>
#include <optional>

namespace lumivane {

// Flattens a document into one image (one pixel per image point, top-left origin).
// Stateless and safe to call on any thread with a document copy.
namespace EditorRenderer {

// Nothing when the document has no image or goes beyond DocumentLimits (whose
// renderProblem() says why).
std::optional<QImage> render(const EditorDocument& document);

// Steps of a render, exposed for reuse and tests. Coordinates are canvas pixels.
void drawBackground(QPainter& painter, const CanvasBackgroundStyle& style, QSizeF canvasSize,
                    const QRectF& contentRect);
// The effect of a blur or pixelate annotation over its rectangle, clipped to the image;
// `pixelRect` receives its place in base-image pixels. Null when it misses the image.
QImage effectImage(const QImage& baseImage, const Annotation& annotation, QRect* pixelRect);
// One annotation in image points (the painter maps them); `canvasRect` is the area a
// spotlight dims.
void drawAnnotation(QPainter& painter, const Annotation& annotation, const QImage& baseImage, const QRectF& canvasRect);
// Canvas rectangle and canvas size in the painter's current coordinates.
void drawSpotlight(QPainter& painter, const QRectF& rect, const QRectF& canvasRect, double dimOpacity);

// Gaussian blur (three box passes, edges clamped) of the premultiplied image, in place.
void gaussianBlur(QImage& image, double sigma);
// Per-annotation pixelate grid offset in pixels (x, y in bitmap bottom-up sense).
QPointF pixelateGridOffset(const QUuid& id);

} // namespace EditorRenderer
} // namespace lumivane
