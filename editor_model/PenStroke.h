#pragma once
#include <QPainterPath>
#include <QPointF>
#include <vector>

// Geometry of the freehand pen: its points are stored thinned, and drawn as a
// smooth curve through the midpoints of successive points (each stored point is
// the control point of a quadratic segment), stroked with round caps and joins.
namespace lumivane {

// Room around the points for the stroke's width: half the width plus one point.
double penPadding(double lineWidth);
// Largest distance from the stroke's centre line that still hits it.
double penHitThreshold(double lineWidth);
// Drops points closer than `spacing` to the last one kept; the first and the last
// point stay (the last replaces the one before it when they are too close).
std::vector<QPointF> thinnedPenPoints(const std::vector<QPointF>& points, double spacing);
// The smoothed centre line: straight for two points, quadratic midpoint curves for
// more; empty for none; a single point gives a zero-length line (a dot).
QPainterPath smoothedPenPath(const std::vector<QPointF>& points);

} // namespace lumivane
