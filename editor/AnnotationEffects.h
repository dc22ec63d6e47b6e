#pragma once
#include "editor_model/EditorDocument.h"

#include <QImage>
#include <QPointF>
#include <QRect>

namespace lumivane {

// Blur and pixelate effects computed from the base image. Stateless, any thread.
namespace AnnotationEffects {

// The effect of a blur or pixelate annotation over its rectangle, clipped to the image;
// `pixelRect` receives its place in base-image pixels. Null when it misses the image.
QImage effectImage(const QImage& baseImage, const Annotation& annotation, QRect* pixelRect);
// Gaussian blur (three box passes, edges clamped) of the premultiplied image, in place.
void gaussianBlur(QImage& image, double sigma);
// Per-annotation pixelate grid offset in pixels (x, y in bitmap bottom-up sense).
QPointF pixelateGridOffset(const QUuid& id);

} // namespace AnnotationEffects
} // namespace lumivane
