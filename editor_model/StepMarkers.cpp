#include "editor_model/StepMarkers.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace lumivane {

void renumberSteps(std::vector<Annotation>& annotations) {
    int n = 0;
    for (Annotation& a : annotations)
        if (a.kind == AnnotationKind::step)
            a.text = QString::number(++n);
}

int nextStepNumber(const std::vector<Annotation>& annotations) {
    return 1 + int(std::count_if(annotations.begin(), annotations.end(),
                                 [](const Annotation& a) { return a.kind == AnnotationKind::step; }));
}

bool moveStep(std::vector<Annotation>& annotations, const QUuid& id, int direction) {
    auto it = std::find_if(annotations.begin(), annotations.end(), [&](const Annotation& a) { return a.id == id; });
    if (it == annotations.end() || it->kind != AnnotationKind::step || direction == 0)
        return false;
    const auto isStep = [](const Annotation& a) { return a.kind == AnnotationKind::step; };
    if (direction < 0) {
        auto before = std::find_if(std::make_reverse_iterator(it), annotations.rend(), isStep);
        if (before == annotations.rend())
            return false;
        std::iter_swap(it, std::prev(before.base()));
    } else {
        auto after = std::find_if(std::next(it), annotations.end(), isStep);
        if (after == annotations.end())
            return false;
        std::iter_swap(it, after);
    }
    renumberSteps(annotations);
    return true;
}

namespace StepMarker {

QRectF circleRect(QPointF center, double diameter) {
    const double d = std::max(diameter, minimumDiameter);
    return QRectF(center.x() - d / 2, center.y() - d / 2, d, d);
}

QRectF resizedCircle(const QRectF& circle, double diameter) {
    return circleRect(circle.normalized().center(), diameter);
}

double numberFontSize(double diameter, int digits) {
    const double d = std::max(diameter, 1.0);
    return digits <= 1 ? d * 0.5 : digits == 2 ? d * 0.42 : d * 0.32;
}

QPainterPath tailPath(const QRectF& circle, QPointF tip) {
    QPainterPath path;
    const QRectF c = circle.normalized();
    const QPointF center = c.center();
    const double r = std::min(c.width(), c.height()) / 2;
    const QLineF axis(center, tip);
    const double length = axis.length();
    if (!std::isfinite(length) || length <= r)
        return path;
    // The wedge leaves the circle between two points ±35° off the axis.
    const double angle = std::atan2(tip.y() - center.y(), tip.x() - center.x());
    const double spread = 35.0 * M_PI / 180.0;
    const QPointF a(center.x() + r * std::cos(angle - spread), center.y() + r * std::sin(angle - spread));
    const QPointF b(center.x() + r * std::cos(angle + spread), center.y() + r * std::sin(angle + spread));
    path.moveTo(a);
    path.lineTo(tip);
    path.lineTo(b);
    path.lineTo(center);
    path.closeSubpath();
    return path;
}

std::optional<QPointF> tailTip(const QRectF& circle, QPointF point) {
    const QRectF c = circle.normalized();
    if (QLineF(c.center(), point).length() <= std::min(c.width(), c.height()) / 2 + 2)
        return std::nullopt;
    return point;
}

} // namespace StepMarker
} // namespace lumivane
