#include "editor_model/AnnotationGeometry.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>

namespace lumivane {

namespace {

QRectF boundsOfCorners(const QPointF (&p)[4]) {
    double minX = p[0].x(), maxX = p[0].x(), minY = p[0].y(), maxY = p[0].y();
    for (const QPointF& q : p) {
        minX = std::min(minX, q.x());
        maxX = std::max(maxX, q.x());
        minY = std::min(minY, q.y());
        maxY = std::max(maxY, q.y());
    }
    return QRectF(minX, minY, std::max(maxX - minX, 1.0), std::max(maxY - minY, 1.0));
}

template <typename F>
QRectF mapCorners(const QRectF& r, F f) {
    const double minX = std::min(r.left(), r.right()), maxX = std::max(r.left(), r.right());
    const double minY = std::min(r.top(), r.bottom()), maxY = std::max(r.top(), r.bottom());
    const QPointF c[4] = {f(QPointF(minX, minY)), f(QPointF(maxX, minY)), f(QPointF(minX, maxY)),
                          f(QPointF(maxX, maxY))};
    return boundsOfCorners(c);
}

double length(QPointF p) {
    return std::hypot(p.x(), p.y());
}

} // namespace

QPointF transformedPoint(QPointF p, QSizeF size, ImageRotationDirection direction) {
    if (direction == ImageRotationDirection::counterClockwise)
        return QPointF(p.y(), size.width() - p.x());
    return QPointF(size.height() - p.y(), p.x());
}

QRectF transformedRect(const QRectF& rect, QSizeF size, ImageRotationDirection direction) {
    return mapCorners(rect, [&](QPointF p) { return transformedPoint(p, size, direction); });
}

QPointF transformedPointForFlip(QPointF p, QSizeF size, bool horizontally) {
    return horizontally ? QPointF(size.width() - p.x(), p.y()) : QPointF(p.x(), size.height() - p.y());
}

QRectF transformedRectForFlip(const QRectF& rect, QSizeF size, bool horizontally) {
    return mapCorners(rect, [&](QPointF p) { return transformedPointForFlip(p, size, horizontally); });
}

std::optional<QRectF> markerBounds(const std::vector<QPointF>& points) {
    if (points.empty())
        return std::nullopt;
    double minX = points[0].x(), maxX = minX, minY = points[0].y(), maxY = minY;
    for (const QPointF& p : points) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    return QRectF(minX, minY, std::max(maxX - minX, 1.0), std::max(maxY - minY, 1.0));
}

MarkerMetrics::MarkerMetrics(double lineWidth) {
    clampedWidth = std::clamp(lineWidth, 8.5, 52.0);
    if (std::isnan(lineWidth))
        clampedWidth = 8.5;
    const double t = (clampedWidth - 18.0) / 22.0;
    const double f = 0.98 + 0.24 * std::clamp(t, 0.0, 1.0);
    visualWidth = clampedWidth * f;
    visualPadding = 0.9 * visualWidth >= 10 ? 0.9 * visualWidth : 10.0;
    const double k = t < 1 ? 0.34 + 0.18 * std::max(t, 0.0) : 0.52;
    hitThreshold = std::max(std::max(visualWidth, 8.0) * k, 5.5);
}

std::vector<QPointF> refinedMarkerPoints(const std::vector<QPointF>& points, double lineWidth) {
    if (points.size() < 3)
        return points;
    const double v = MarkerMetrics(lineWidth).visualWidth;
    const double s = v < 8 ? 2.6 : std::clamp(0.19 * v, 2.6, 7.5);
    const double e = v < 8 ? 1.0 : std::clamp(0.12 * v, 1.0, 4.8);
    std::vector<QPointF> out;
    out.reserve(points.size());
    out.push_back(points.front());
    for (size_t i = 1; i + 1 < points.size(); ++i) {
        const QPointF p = points[i];
        const QPointF last = out.back();
        const QPointF next = points[i + 1];
        if (length(p - last) < s)
            continue;
        const QPointF seg = next - last;
        const double segLength = length(seg);
        double d;
        if (segLength == 0) {
            d = length(p - last);
        } else {
            const double t = std::clamp(QPointF::dotProduct(p - last, seg) / (segLength * segLength), 0.0, 1.0);
            d = length(p - (last + seg * t));
        }
        if (segLength > s && d < e)
            continue;
        out.push_back(p);
    }
    if (length(points.back() - out.back()) > 0.5)
        out.push_back(points.back());
    return out;
}

std::vector<QPointF> markerStampCenters(const std::vector<QPointF>& points, double spacing) {
    std::vector<QPointF> out;
    if (points.empty())
        return out;
    out.push_back(points.front());
    if (points.size() == 1)
        return out;
    double carry = 0;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const QPointF a = points[i], b = points[i + 1];
        const double l = length(b - a);
        if (!(l > 0.001))
            continue;
        double o = std::max(spacing - carry, spacing * 0.5);
        while (o < l) {
            out.push_back(a + (b - a) * (o / l));
            o += spacing;
        }
        carry = std::max(o - l, 0.0);
    }
    out.push_back(points.back());
    return out;
}

namespace MarkerChiselPath {

StampSize stampSize(double lineWidth) {
    const double v = MarkerMetrics(lineWidth).visualWidth;
    StampSize s;
    s.width = v >= 8 ? 0.4 * v : 3.2;
    s.height = std::max(v, 8.0) * 1.15;
    s.cornerRadius = std::min(0.3 * s.width, 3.0);
    s.spacing = std::max(0.18 * s.width, 0.5);
    return s;
}

void addContinuousRoundedRect(QPainterPath& path, const QRectF& rect, double radius) {
    path.addRoundedRect(rect, radius, radius);
}

QPainterPath stampPath(const std::vector<QPointF>& points, double lineWidth) {
    const StampSize s = stampSize(lineWidth);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QPointF& c : markerStampCenters(points, s.spacing))
        addContinuousRoundedRect(path, QRectF(c.x() - s.width / 2, c.y() - s.height / 2, s.width, s.height),
                                 s.cornerRadius);
    return path;
}

} // namespace MarkerChiselPath

ArrowGeometry::ArrowGeometry(QPointF start, QPointF end, double w) {
    const QPointF d = end - start;
    const double l = std::max(length(d), 0.001);
    const QPointF u = d / l;
    const QPointF n(-u.y(), u.x());
    const double hl = std::max(16.0, std::min(0.45 * l, 4.4 * w));
    const double hw = std::max(2.8 * w, 0.42 * hl);
    const double tw = 0.35 * w >= 1 ? 0.35 * w : 1.0;
    const double bw = 0.35 * w >= 1 ? std::max(w, 0.35 * w + 0.5) : std::max(w, 1.5);
    const QPointF base = end - u * hl;
    tailLeft = start + n * (tw / 2);
    shaftLeft = base + n * (bw / 2);
    tailRight = start - n * (tw / 2);
    shaftRight = base - n * (bw / 2);
    tip = end;
    headLeft = base + n * (hw / 2);
    headRight = base - n * (hw / 2);
}

QPainterPath ArrowGeometry::outline() const {
    QPainterPath path;
    path.moveTo(tailLeft);
    path.lineTo(shaftLeft);
    path.lineTo(headLeft);
    path.lineTo(tip);
    path.lineTo(headRight);
    path.lineTo(shaftRight);
    path.lineTo(tailRight);
    path.closeSubpath();
    return path;
}

namespace TextAnnotationLayout {

double effectiveFontSize(double fontSize) {
    return std::max(fontSize, 10.0);
}

QFont font(double fontSize) {
    QFont f = QGuiApplication::instance() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont) : QFont();
    f.setPointSizeF(effectiveFontSize(fontSize));
    f.setWeight(QFont::DemiBold);
    return f;
}

QFontMetricsF metrics(const QFont& font) {
    // A 72 dpi device makes one font point one pixel.
    thread_local QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return QFontMetricsF(font, &device);
}

QString cacheKey(double fontSize, const QString& text) {
    const double f = effectiveFontSize(fontSize);
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, f);
    std::string number(buffer, result.ptr);
    if (number.find_first_of(".eEn") == std::string::npos)
        number += ".0";
    return QString::fromStdString(number) + QStringLiteral("::") + text;
}

namespace {
std::mutex cacheMutex;
QHash<QString, QSizeF>& cache() {
    static QHash<QString, QSizeF> map;
    return map;
}
constexpr size_t cacheLimit = 4096;
} // namespace

QSizeF displaySize(const QString& text, double fontSize) {
    const QString key = cacheKey(fontSize, text);
    {
        std::lock_guard lock(cacheMutex);
        auto it = cache().find(key);
        if (it != cache().end())
            return it.value();
    }
    const QFont f = font(fontSize);
    const QFontMetricsF fm = metrics(f);
    double width = 0, height = 0;
    if (!text.isEmpty()) {
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (const QString& line : lines)
            width = std::max(width, fm.horizontalAdvance(line));
        height = lines.size() * fm.lineSpacing() + (lines.size() - 1) * lineSpacing;
    }
    const double minimumHeight = std::ceil(fm.ascent() + fm.descent() + 8);
    const QSizeF size(std::ceil(width + 12), std::ceil(std::max(height + 8, minimumHeight)));
    std::lock_guard lock(cacheMutex);
    if (size_t(cache().size()) >= cacheLimit)
        cache().clear();
    cache().insert(key, size);
    return size;
}

} // namespace TextAnnotationLayout

} // namespace lumivane
