#include "editor_model/CanvasInteraction.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/PenStroke.h"
#include "editor_model/StepMarkers.h"

#include <QFontMetricsF>
#include <QLineF>
#include <algorithm>
#include <cmath>

namespace lumivane::CanvasInteraction {

namespace {

double distanceToSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF d = b - a;
    const double len2 = QPointF::dotProduct(d, d);
    if (len2 <= 0)
        return QLineF(p, a).length();
    const double t = std::clamp(QPointF::dotProduct(p - a, d) / len2, 0.0, 1.0);
    return QLineF(p, a + t * d).length();
}

} // namespace

std::vector<AnnotationHandle> handles(AnnotationKind kind) {
    using H = AnnotationHandle;
    switch (kind) {
    case AnnotationKind::highlight:
        return {H::topLeft, H::top, H::topRight, H::midLeft, H::midRight, H::bottomLeft, H::bottom, H::bottomRight};
    case AnnotationKind::arrow:
        return {H::arrowStart, H::arrowEnd};
    case AnnotationKind::text:
        return {H::midLeft, H::midRight};
    case AnnotationKind::marker:
    case AnnotationKind::pen:
        return {};
    case AnnotationKind::step:
        return {H::arrowEnd}; // the tail's tip; on a step without a tail it pulls one out
    default:
        return {H::topLeft, H::topRight, H::bottomLeft, H::bottomRight};
    }
}

QRectF interactiveRect(const Annotation& a) {
    if (a.kind == AnnotationKind::text) {
        const QRectF r = a.rect.normalized();
        const QSizeF s = TextAnnotationLayout::displaySize(a.text, a.fontSize);
        return QRectF(r.topLeft(), QSizeF(std::max(r.width(), s.width()), std::max(r.height(), s.height())));
    }
    if (a.kind == AnnotationKind::marker || a.kind == AnnotationKind::pen) {
        const auto bounds = markerBounds(a.markerPoints);
        if (!bounds)
            return a.rect.normalized();
        const double pad =
            a.kind == AnnotationKind::marker ? MarkerMetrics(a.lineWidth).visualPadding : penPadding(a.lineWidth);
        return bounds->adjusted(-pad, -pad, pad, pad);
    }
    return a.rect.normalized();
}

QPointF handlePosition(const Annotation& a, AnnotationHandle h) {
    const QRectF r = interactiveRect(a);
    switch (h) {
    case AnnotationHandle::topLeft:
        return r.topLeft();
    case AnnotationHandle::top:
        return {r.center().x(), r.top()};
    case AnnotationHandle::topRight:
        return r.topRight();
    case AnnotationHandle::bottomLeft:
        return r.bottomLeft();
    case AnnotationHandle::bottom:
        return {r.center().x(), r.bottom()};
    case AnnotationHandle::bottomRight:
        return r.bottomRight();
    case AnnotationHandle::midLeft:
        return {r.left(), r.center().y()};
    case AnnotationHandle::midRight:
        return {r.right(), r.center().y()};
    case AnnotationHandle::arrowStart:
        return a.arrowStart.value_or(r.topLeft());
    case AnnotationHandle::arrowEnd:
        return a.arrowEnd.value_or(r.bottomRight());
    }
    return r.topLeft();
}

std::optional<AnnotationHit> hitTest(const Annotation& a, QPointF p) {
    const double half = a.kind == AnnotationKind::arrow ? 16 : 8;
    for (AnnotationHandle h : handles(a.kind)) {
        const QPointF c = handlePosition(a, h);
        if (std::abs(p.x() - c.x()) <= half && std::abs(p.y() - c.y()) <= half)
            return AnnotationHit{a.id, h};
    }
    switch (a.kind) {
    case AnnotationKind::arrow: {
        const QPointF s = a.arrowStart.value_or(a.rect.topLeft());
        const QPointF e = a.arrowEnd.value_or(a.rect.bottomRight());
        const double w = a.lineWidth;
        if (distanceToSegment(p, s, e) < std::max(3 * w, 18.0) || QLineF(p, s).length() < std::max(2.5 * w, 16.0) ||
            QLineF(p, e).length() < std::max(3 * w, 20.0))
            return AnnotationHit{a.id, std::nullopt};
        return std::nullopt;
    }
    case AnnotationKind::marker: {
        if (a.markerPoints.size() < 2)
            return std::nullopt;
        const double threshold = MarkerMetrics(a.lineWidth).hitThreshold;
        for (size_t i = 1; i < a.markerPoints.size(); ++i)
            if (distanceToSegment(p, a.markerPoints[i - 1], a.markerPoints[i]) <= threshold)
                return AnnotationHit{a.id, std::nullopt};
        return std::nullopt;
    }
    case AnnotationKind::pen: {
        if (a.markerPoints.empty())
            return std::nullopt;
        const double threshold = penHitThreshold(a.lineWidth);
        if (a.markerPoints.size() == 1 && QLineF(p, a.markerPoints.front()).length() <= threshold)
            return AnnotationHit{a.id, std::nullopt};
        for (size_t i = 1; i < a.markerPoints.size(); ++i)
            if (distanceToSegment(p, a.markerPoints[i - 1], a.markerPoints[i]) <= threshold)
                return AnnotationHit{a.id, std::nullopt};
        return std::nullopt;
    }
    case AnnotationKind::step: {
        const QRectF c = a.rect.normalized();
        if (QLineF(p, c.center()).length() <= std::min(c.width(), c.height()) / 2 + 4 ||
            (a.arrowEnd && StepMarker::tailPath(c, *a.arrowEnd).contains(p)))
            return AnnotationHit{a.id, std::nullopt};
        return std::nullopt;
    }
    default:
        if (interactiveRect(a).adjusted(-10, -10, 10, 10).contains(p))
            return AnnotationHit{a.id, std::nullopt};
        return std::nullopt;
    }
}

std::optional<AnnotationHit> hitTest(const std::vector<Annotation>& annotations, QPointF p) {
    for (auto it = annotations.rbegin(); it != annotations.rend(); ++it)
        if (auto hit = hitTest(*it, p))
            return hit;
    return std::nullopt;
}

QRectF resizedRect(const QRectF& from, AnnotationHandle handle, QPointF p) {
    const double m = minimumResizedSide;
    const QRectF R = from.normalized();
    double minX = R.left(), minY = R.top(), maxX = R.right(), maxY = R.bottom();
    auto moveMinX = [&] { minX = std::min(p.x(), R.right() - m); };
    auto moveMinY = [&] { minY = std::min(p.y(), R.bottom() - m); };
    auto moveMaxX = [&] { maxX = R.left() + std::max(p.x() - R.left(), m); };
    auto moveMaxY = [&] { maxY = R.top() + std::max(p.y() - R.top(), m); };
    switch (handle) {
    case AnnotationHandle::topLeft:
        moveMinX();
        moveMinY();
        break;
    case AnnotationHandle::top:
        moveMinY();
        break;
    case AnnotationHandle::bottom:
        moveMaxY();
        break;
    case AnnotationHandle::topRight:
        moveMaxX();
        moveMinY();
        break;
    case AnnotationHandle::bottomLeft:
        moveMinX();
        moveMaxY();
        break;
    case AnnotationHandle::bottomRight:
        moveMaxX();
        moveMaxY();
        break;
    case AnnotationHandle::midLeft:
        moveMinX();
        break;
    case AnnotationHandle::midRight:
        moveMaxX();
        break;
    case AnnotationHandle::arrowStart:
    case AnnotationHandle::arrowEnd:
        break;
    }
    return QRectF(QPointF(minX, minY), QPointF(maxX, maxY)).normalized();
}

QPointF scaled(QPointF p, const QRectF& from, const QRectF& to) {
    if (!(from.width() > 0) || !(from.height() > 0))
        return p;
    return {to.left() + (p.x() - from.left()) / from.width() * to.width(),
            to.top() + (p.y() - from.top()) / from.height() * to.height()};
}

double markerDisplayScale(const QRectF& imageRect, QSizeF imageSize) {
    if (!(imageSize.width() > 0) || !(imageSize.height() > 0))
        return 1.0;
    return (imageRect.width() / imageSize.width() + imageRect.height() / imageSize.height()) / 2;
}

double estimateMarkerLineWidth(const QImage& source, QPointF point) {
    constexpr double fallback = 8.5;
    if (source.isNull())
        return fallback;
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32 ||
                                 source.format() == QImage::Format_ARGB32_Premultiplied
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    const int px = std::clamp(int(std::floor(point.x())), 0, w - 1);
    const int py = std::clamp(int(std::floor(point.y())), 0, h - 1);
    const int m = std::min(w, h);
    const int R = m < 720 ? 40 : m / 18;
    const int s = std::max(m < 720 ? 10 : m / 72, 1);
    const int left = std::max(px - R, 0), right = std::min(px + R, w - 1);
    const int top = std::max(py - R, 0), bottom = std::min(py + R, h - 1);
    auto luminance = [&](int x, int y) {
        const QRgb c = reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
        return (0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c)) / 255.0;
    };
    double sum = 0, maxL = 0;
    int count = 0;
    for (int y = top; y <= bottom; y += s)
        for (int x = left; x <= right; x += s) {
            const double l = luminance(x, y);
            sum += l;
            maxL = std::max(maxL, l);
            ++count;
        }
    if (count == 0)
        return fallback;
    const double t = std::max((0.3 * maxL + 0.7 * (sum / count)) * 0.58, 0.15);
    const int colStep = std::max((right - left) / 18, 4);
    struct Run {
        int start;
        int length;
    };
    std::vector<Run> runs;
    std::optional<Run> open;
    for (int y = top; y <= bottom; y += 2) {
        int samples = 0, ink = 0;
        for (int x = left; x <= right; x += colStep) {
            ++samples;
            if (luminance(x, y) < t)
                ++ink;
        }
        const bool inked = samples > 0 && double(ink) / samples > 0.04;
        if (inked) {
            if (open)
                open->length += 2;
            else
                open = Run{y, 2};
        } else if (open) {
            if (open->length >= 6)
                runs.push_back(*open);
            open.reset();
        }
    }
    if (open && open->length >= 6)
        runs.push_back(*open);
    if (runs.empty())
        return fallback;
    const Run* chosen = nullptr;
    for (const Run& r : runs)
        if (r.start <= py && py <= r.start + r.length) {
            chosen = &r;
            break;
        }
    if (!chosen) {
        int best = 0;
        for (const Run& r : runs) {
            const int d = std::min(std::abs(r.start - py), std::abs(r.start + r.length - py));
            if (!chosen || d < best) {
                chosen = &r;
                best = d;
            }
        }
    }
    return std::max(std::min(double(chosen->length), 52.0), fallback);
}

QRectF arrowRect(QPointF start, QPointF end, double lineWidth) {
    const double g = std::max(3.5 * lineWidth, 12.0);
    return QRectF(start, end).normalized().adjusted(-g, -g, g, g);
}

double markerPointSpacing(double lineWidth, double displayScale) {
    return std::min(std::max(lineWidth * displayScale * 0.16, 2.6), 8.0);
}

double pathLength(const std::vector<QPointF>& points) {
    double length = 0;
    for (size_t i = 1; i < points.size(); ++i)
        length += QLineF(points[i - 1], points[i]).length();
    return length;
}

QString effectPreviewIdentity(const Annotation& a) {
    const QRectF r = a.rect.normalized();
    auto n = [](double v) { return QString::number(v, 'f', 3); };
    return QStringList{a.id.toString(QUuid::WithoutBraces).toUpper(),
                       rawValue(a.kind),
                       n(r.x()),
                       n(r.y()),
                       n(r.width()),
                       n(r.height()),
                       n(a.effectIntensity)}
        .join(QLatin1Char(':'));
}

double defaultEffectIntensity(AnnotationKind kind) {
    switch (kind) {
    case AnnotationKind::blur:
        return 16;
    case AnnotationKind::pixelate:
        return 18;
    case AnnotationKind::spotlight:
        return 0.52;
    default:
        return 18;
    }
}

Annotation newAnnotation(AnnotationKind kind, const QRectF& rect, const RgbaColor& color, double defaultLineWidth) {
    Annotation a;
    a.id = QUuid::createUuid();
    a.kind = kind;
    a.rect = rect.normalized();
    a.color = color;
    const bool stroked = kind == AnnotationKind::rectangle || kind == AnnotationKind::ellipse ||
                         kind == AnnotationKind::arrow || kind == AnnotationKind::pen;
    a.lineWidth = stroked ? defaultLineWidth : 0;
    a.fontSize = 32;
    a.text = kind == AnnotationKind::text ? QString() : QStringLiteral("Text");
    a.effectIntensity = defaultEffectIntensity(kind);
    return a;
}

double newTextFontSize(double settingSize, double displayScale) {
    return displayScale <= 0.001 ? settingSize : settingSize / displayScale;
}

QRectF newTextRect(const QRectF& dragRect, double f) {
    const QRectF d = dragRect.normalized();
    const QFontMetricsF fm = TextAnnotationLayout::metrics(TextAnnotationLayout::font(std::max(f, 10.0)));
    const double height = std::max(std::ceil(fm.ascent() + fm.descent() + 8), 36.0);
    return QRectF(d.topLeft(), QSizeF(std::max(d.width(), 4 * f), height));
}

CanvasLayout layout(QSizeF imageSize, const CanvasBackgroundStyle& bg, QSizeF container, double zoomScale) {
    CanvasLayout l;
    const double pad = bg.isEnabled ? std::max(bg.padding, 0.0) : 0.0;
    const double w = std::max(imageSize.width() + 2 * pad, 1.0), h = std::max(imageSize.height() + 2 * pad, 1.0);
    l.contentSize = QSizeF(w, h);
    const double aw = std::max(container.width() - 90, 200.0), ah = std::max(container.height() - 56, 200.0);
    const double sx = aw / w, sy = ah / h;
    l.fitScale = h > 1.2 * w ? sx : std::min(sx, sy);
    const double z = std::isfinite(zoomScale) && zoomScale > 0 ? zoomScale : 1.0;
    l.displayedSize = QSizeF(w, h) * l.fitScale * z;
    l.frameSize = QSizeF(std::max(l.displayedSize.width() + 90, container.width()),
                         std::max(l.displayedSize.height() + 56, 200.0));
    l.contentRect = QRectF(QPointF((l.frameSize.width() - l.displayedSize.width()) / 2, 28), l.displayedSize);
    const double k = l.fitScale * z;
    l.imageRect = QRectF(l.contentRect.topLeft() + QPointF(pad, pad) * k, imageSize * k);
    return l;
}

} // namespace lumivane::CanvasInteraction
