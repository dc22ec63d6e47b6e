#include "editor_model/PenStroke.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace lumivane {

double penPadding(double lineWidth) {
    return std::max(lineWidth, 0.0) / 2 + 1;
}

double penHitThreshold(double lineWidth) {
    return std::max(std::max(lineWidth, 0.0) / 2 + 4, 7.0);
}

std::vector<QPointF> thinnedPenPoints(const std::vector<QPointF>& points, double spacing) {
    if (points.size() < 3)
        return points;
    std::vector<QPointF> out{points.front()};
    for (size_t i = 1; i + 1 < points.size(); ++i)
        if (QLineF(out.back(), points[i]).length() >= spacing)
            out.push_back(points[i]);
    if (out.size() > 1 && QLineF(out.back(), points.back()).length() < spacing)
        out.back() = points.back();
    else
        out.push_back(points.back());
    return out;
}

QPainterPath smoothedPenPath(const std::vector<QPointF>& points) {
    QPainterPath path;
    if (points.empty())
        return path;
    path.moveTo(points.front());
    if (points.size() == 1) {
        path.lineTo(points.front());
        return path;
    }
    if (points.size() == 2) {
        path.lineTo(points.back());
        return path;
    }
    for (size_t i = 1; i + 1 < points.size(); ++i) {
        const QPointF mid = (points[i] + points[i + 1]) / 2;
        path.quadTo(points[i], i + 2 == points.size() ? points.back() : mid);
    }
    return path;
}

} // namespace lumivane
