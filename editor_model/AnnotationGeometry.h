#pragma once
#include "core/ImageExportPipeline.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>
#include <vector>

namespace lumivane {

// 90-degree rotation of a rectangle inside an image of the old size.
QPointF transformedPoint(QPointF point, QSizeF imageSize, ImageRotationDirection direction);
QRectF transformedRect(const QRectF& rect, QSizeF imageSize, ImageRotationDirection direction);
QPointF transformedPointForFlip(QPointF point, QSizeF imageSize, bool horizontally);
QRectF transformedRectForFlip(const QRectF& rect, QSizeF imageSize, bool horizontally);

// Bounding box of points with each side raised to at least 1; nullopt for no points.
std::optional<QRectF> markerBounds(const std::vector<QPointF>& points);

struct MarkerMetrics {
    double clampedWidth = 0;
    double visualWidth = 0;
    double visualPadding = 0;
    double hitThreshold = 0;
    explicit MarkerMetrics(double lineWidth);
};

std::vector<QPointF> refinedMarkerPoints(const std::vector<QPointF>& points, double lineWidth);
std::vector<QPointF> markerStampCenters(const std::vector<QPointF>& points, double spacing);

namespace MarkerChiselPath {
struct StampSize {
    double width = 0;
    double height = 0;
    double cornerRadius = 0;
    double spacing = 0;
};
StampSize stampSize(double lineWidth);
QPainterPath stampPath(const std::vector<QPointF>& points, double lineWidth);
// Rounded rectangle with continuous (squircle-like) corners.
void addContinuousRoundedRect(QPainterPath& path, const QRectF& rect, double radius);
} // namespace MarkerChiselPath

struct ArrowGeometry {
    QPointF tailLeft, shaftLeft, tailRight, shaftRight, tip, headLeft, headRight;
    ArrowGeometry(QPointF start, QPointF end, double lineWidth);
    // tailLeft → shaftLeft → headLeft → tip → headRight → shaftRight → tailRight, closed.
    QPainterPath outline() const;
};

struct ArrowShape {
    QPointF start, end;
    double lineWidth = 0;
    QPainterPath outline() const { return ArrowGeometry(start, end, lineWidth).outline(); }
};

namespace TextAnnotationLayout {
inline constexpr double lineSpacing = 2.0;
inline constexpr double insetX = 6.0;
inline constexpr double insetY = 4.0;
double effectiveFontSize(double fontSize); // max(fontSize, 10)
QFont font(double fontSize);               // system UI font, semibold, point size = effective size
// Font metrics in image points (72 dpi: one point per pixel).
QFontMetricsF metrics(const QFont& font);
QString cacheKey(double fontSize, const QString& text);
QSizeF displaySize(const QString& text, double fontSize);
} // namespace TextAnnotationLayout

} // namespace lumivane
