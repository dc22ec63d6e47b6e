#pragma once
#include "editor_model/EditorDocument.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace lumivane {

// Draws annotations for both the editor canvas and the exported image, so the two
// show the same thing. Coordinates are image points; the painter's transform maps
// them to the device (one pixel per point on export, the display scale on screen).
namespace AnnotationPainter {

// Supplies the effect image of a blur or pixelate annotation and its place in
// base-image pixels (the canvas caches them); by default they are computed.
using EffectSource = std::function<QImage(const Annotation&, QRect* pixelRect)>;

// One annotation; `canvasRect` is the area a spotlight dims.
void paint(QPainter& painter, const Annotation& annotation, const QImage& baseImage, const QRectF& canvasRect,
           const EffectSource& effects = {});
// Text in the layout of TextAnnotationLayout: one font point per image point,
// whatever the device's resolution.
void paintText(QPainter& painter, const Annotation& annotation);
// The laid-out box of a text annotation: its rectangle grown to the measured text.
QRectF textBox(const Annotation& annotation);
// The filled box behind a text annotation's laid-out box, grown by its padding.
QRectF textBackgroundRect(const QRectF& textBox, const TextBackground& background);
void paintTextBackground(QPainter& painter, const QRectF& textBox, const TextBackground& background);
void paintSpotlight(QPainter& painter, const QRectF& rect, const QRectF& canvasRect, double dimOpacity);

// The colour with its components clamped to 0…1 (non-finite ones as 0).
QColor colorOf(const RgbaColor& color);

// A rectangle with its corners rounded by radius, clamped to half its shorter side.
QPainterPath roundedRectPath(const QRectF& r, double radius);

} // namespace AnnotationPainter
} // namespace lumivane
