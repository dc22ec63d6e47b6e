#include "editor/AnnotationPainter.h"
#include "editor/AnnotationEffects.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/PenStroke.h"
#include "editor_model/StepMarkers.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

namespace lumivane::AnnotationPainter {

namespace {

constexpr double spotlightCornerRadius = 18;

void paintMarker(QPainter& painter, const Annotation& a) {
    if (a.markerPoints.empty())
        return;
    const std::vector<QPointF> points = refinedMarkerPoints(a.markerPoints, a.lineWidth);
    // Guard against absurd strokes: more stamps than any real stroke needs.
    double pathLength = 0;
    for (size_t i = 1; i < points.size(); ++i)
        pathLength += QLineF(points[i - 1], points[i]).length();
    const auto stamp = MarkerChiselPath::stampSize(a.lineWidth);
    if (!std::isfinite(pathLength) || pathLength / stamp.spacing > 2e6)
        return;
    // The ink is the union of the stamps (the chisel path's stamps), multiplied into
    // the canvas once. The stamps are laid opaque into a layer one by one (far cheaper
    // than filling one path of hundreds of overlapping curved subpaths); the ink's
    // alpha is applied when the layer is multiplied in.
    const std::vector<QPointF> centers = markerStampCenters(points, stamp.spacing);
    auto stampRect = [&](QPointF c) {
        return QRectF(c.x() - stamp.width / 2, c.y() - stamp.height / 2, stamp.width, stamp.height);
    };
    QRectF inkBounds;
    for (const QPointF& c : centers)
        inkBounds |= stampRect(c);
    const QRect bounds =
        painter.transform().mapRect(inkBounds).toAlignedRect().adjusted(-1, -1, 1, 1) &
        QRect(QPoint(0, 0), painter.device() ? QSize(painter.device()->width(), painter.device()->height()) : QSize());
    if (bounds.isEmpty())
        return;
    QImage layer(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.setTransform(painter.transform() * QTransform::fromTranslate(-bounds.x(), -bounds.y()));
        lp.setPen(Qt::NoPen);
        QColor opaque = colorOf(a.color);
        opaque.setAlphaF(1);
        lp.setBrush(opaque);
        for (const QPointF& c : centers) {
            QPainterPath one;
            MarkerChiselPath::addContinuousRoundedRect(one, stampRect(c), stamp.cornerRadius);
            lp.drawPath(one);
        }
    }
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.setOpacity(painter.opacity() * colorOf(a.color).alphaF());
    painter.drawImage(bounds.topLeft(), layer);
    painter.restore();
}

// A font measured at 72 dpi (a point per pixel), sized for the painter's device so
// that it keeps those measures under any device resolution.
QFont deviceFont(const QPainter& painter, QFont font) {
    if (const QPaintDevice* device = painter.device(); device && device->logicalDpiY() > 0)
        font.setPointSizeF(font.pointSizeF() * 72.0 / device->logicalDpiY());
    return font;
}

void paintPen(QPainter& painter, const Annotation& a) {
    if (a.markerPoints.empty())
        return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colorOf(a.color), std::max(a.lineWidth, 0.5), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(smoothedPenPath(a.markerPoints));
    painter.restore();
}

void paintStep(QPainter& painter, const Annotation& a) {
    const QRectF circle = a.rect.normalized();
    const QColor fill = colorOf(a.color);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    if (a.arrowEnd)
        painter.drawPath(StepMarker::tailPath(circle, *a.arrowEnd));
    painter.drawEllipse(circle);
    // White figures on dark colours, black ones on light colours.
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    const double size = StepMarker::numberFontSize(std::min(circle.width(), circle.height()), int(a.text.size()));
    if (size >= 1 && size <= 4096 && !a.text.isEmpty()) {
        QFont font = TextAnnotationLayout::font(size);
        font.setPointSizeF(size);
        font.setWeight(QFont::Bold);
        painter.setFont(deviceFont(painter, font));
        painter.setPen(luminance > 0.6 && fill.alphaF() > 0.5 ? Qt::black : Qt::white);
        painter.drawText(circle, Qt::AlignCenter, a.text);
    }
    painter.restore();
}

} // namespace

QPainterPath roundedRectPath(const QRectF& r, double radius) {
    QPainterPath path;
    const double rr = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (rr > 0)
        path.addRoundedRect(r, rr, rr);
    else
        path.addRect(r);
    return path;
}

QColor colorOf(const RgbaColor& c) {
    auto unit = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(unit(c.red)), float(unit(c.green)), float(unit(c.blue)), float(unit(c.alpha)));
}

void paintText(QPainter& painter, const Annotation& a) {
    const QRectF box = textBox(a);
    if (a.text.isEmpty())
        return;
    if (a.textBackground)
        paintTextBackground(painter, box, *a.textBackground);
    const QFont font = TextAnnotationLayout::font(a.fontSize);
    const QFontMetricsF fm = TextAnnotationLayout::metrics(font);
    const QRectF inner = box.adjusted(TextAnnotationLayout::insetX, TextAnnotationLayout::insetY,
                                      -TextAnnotationLayout::insetX, -TextAnnotationLayout::insetY);
    painter.save();
    painter.setFont(deviceFont(painter, font));
    painter.setPen(colorOf(a.color));
    painter.setClipRect(box, Qt::IntersectClip);
    double baseline = inner.top() + fm.ascent();
    for (const QString& line : a.text.split(QLatin1Char('\n'))) {
        if (baseline - fm.ascent() > box.bottom())
            break;
        painter.drawText(QPointF(inner.left(), baseline), line);
        baseline += fm.lineSpacing() + TextAnnotationLayout::lineSpacing;
    }
    painter.restore();
}

QRectF textBox(const Annotation& a) {
    const QSizeF display = TextAnnotationLayout::displaySize(a.text, a.fontSize);
    const QRectF r = a.rect.normalized();
    return QRectF(r.topLeft(), QSizeF(std::max(r.width(), display.width()), std::max(r.height(), display.height())));
}

QRectF textBackgroundRect(const QRectF& textBox, const TextBackground& background) {
    const double pad = std::isfinite(background.padding) ? std::max(background.padding, 0.0) : 0.0;
    return textBox.adjusted(-pad, -pad, pad, pad);
}

void paintTextBackground(QPainter& painter, const QRectF& textBox, const TextBackground& background) {
    const QRectF box = textBackgroundRect(textBox, background);
    const double radius = std::isfinite(background.cornerRadius) ? background.cornerRadius : 0.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedRectPath(box, radius), colorOf(background.color));
    painter.restore();
}

void paint(QPainter& painter, const Annotation& a, const QImage& base, const QRectF& canvasRect,
           const EffectSource& effects) {
    const QRectF r = a.rect.normalized();
    const QColor color = colorOf(a.color);
    switch (a.kind) {
    case AnnotationKind::rectangle:
    case AnnotationKind::ellipse: {
        QPen pen(color, std::max(a.lineWidth, 0.0), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        if (a.kind == AnnotationKind::rectangle)
            painter.drawRect(r);
        else
            painter.drawEllipse(r);
        painter.setPen(Qt::NoPen);
        break;
    }
    case AnnotationKind::arrow: {
        const QPointF start = a.arrowStart.value_or(a.rect.topLeft());
        const QPointF end = a.arrowEnd.value_or(a.rect.bottomRight());
        painter.fillPath(ArrowGeometry(start, end, a.lineWidth).outline(), color);
        break;
    }
    case AnnotationKind::text:
        paintText(painter, a);
        break;
    case AnnotationKind::marker:
        paintMarker(painter, a);
        break;
    case AnnotationKind::highlight:
        painter.fillRect(r, color);
        break;
    case AnnotationKind::blur:
    case AnnotationKind::pixelate: {
        QRect pixels;
        const QImage effect = effects ? effects(a, &pixels) : AnnotationEffects::effectImage(base, a, &pixels);
        if (!effect.isNull())
            painter.drawImage(QRectF(pixels), effect);
        break;
    }
    case AnnotationKind::spotlight:
        paintSpotlight(painter, r, canvasRect, a.effectIntensity);
        break;
    case AnnotationKind::pen:
        paintPen(painter, a);
        break;
    case AnnotationKind::step:
        paintStep(painter, a);
        break;
    }
}

void paintSpotlight(QPainter& painter, const QRectF& rect, const QRectF& canvasRect, double dimOpacity) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(canvasRect);
    const QPainterPath hole = roundedRectPath(rect, spotlightCornerRadius);
    path.addPath(hole);
    const double d = std::isfinite(dimOpacity) ? std::clamp(dimOpacity, 0.18, 0.82) : 0.18;
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, float(d)));
    painter.save();
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.7f), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hole);
    painter.restore();
}

} // namespace lumivane::AnnotationPainter
