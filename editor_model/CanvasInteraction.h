#pragma once
#include "editor_model/EditorDocument.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <vector>

namespace lumivane {

enum class AnnotationHandle {
    topLeft,
    top,
    topRight,
    bottomLeft,
    bottom,
    bottomRight,
    midLeft,
    midRight,
    arrowStart,
    arrowEnd
};

struct AnnotationHit {
    QUuid annotation;
    std::optional<AnnotationHandle> handle; // none: a body hit
};

namespace CanvasInteraction {

inline constexpr double minimumResizedSide = 24;
inline constexpr double clickThreshold = 2; // total movement below this is a click
inline constexpr double minimumArrowLength = 4;
inline constexpr double minimumMarkerLength = 8;
inline constexpr double doubleTapInterval = 0.35; // seconds
inline constexpr double handleDiameter = 18;
inline constexpr double handleDotDiameter = 10;

// Handles offered by an annotation kind, in hit-testing order.
std::vector<AnnotationHandle> handles(AnnotationKind kind);
QRectF interactiveRect(const Annotation& annotation);
QPointF handlePosition(const Annotation& annotation, AnnotationHandle handle);
std::optional<AnnotationHit> hitTest(const Annotation& annotation, QPointF point);
// Topmost (last) hit wins.
std::optional<AnnotationHit> hitTest(const std::vector<Annotation>& annotations, QPointF point);

QRectF resizedRect(const QRectF& from, AnnotationHandle handle, QPointF currentPoint);
// Linear map between rectangles; identity when `from` has no area.
QPointF scaled(QPointF point, const QRectF& from, const QRectF& to);
double markerDisplayScale(const QRectF& imageRect, QSizeF imageSize);
// Marker width in image points fitted to the text under `point` (image points).
double estimateMarkerLineWidth(const QImage& image, QPointF point);
// Bounding box of both ends grown by max(3.5 × lineWidth, 12).
QRectF arrowRect(QPointF start, QPointF end, double lineWidth);
// Minimum distance between appended marker points, in view points.
double markerPointSpacing(double lineWidth, double displayScale);
double pathLength(const std::vector<QPointF>& points);

// Identity text of a blur or pixelate preview.
QString effectPreviewIdentity(const Annotation& annotation);

// Defaults of a newly drawn annotation (rectangle-like kinds and arrows).
Annotation newAnnotation(AnnotationKind kind, const QRectF& rect, const RgbaColor& color, double defaultLineWidth);
double defaultEffectIntensity(AnnotationKind kind);
// Font size of a new text annotation: the setting divided by the display scale.
double newTextFontSize(double settingSize, double displayScale);
// Rectangle of a new text annotation from the dragged rectangle (image points).
QRectF newTextRect(const QRectF& dragRect, double fontSize);

// Placement of the image in the canvas for a container of `container` size.
struct CanvasLayout {
    double fitScale = 1;
    QSizeF contentSize;   // image plus background padding, in image points
    QSizeF displayedSize; // content at fit × zoom
    QSizeF frameSize;     // the canvas widget's size
    QRectF contentRect;   // displayed content in canvas coordinates
    QRectF imageRect;     // displayed base image in canvas coordinates
};
CanvasLayout layout(QSizeF imageSize, const CanvasBackgroundStyle& background, QSizeF container, double zoomScale);

} // namespace CanvasInteraction

using CanvasInteraction::CanvasLayout;

} // namespace lumivane
