#include "editor/CanvasOverlayPainter.h"
#include "editor/AnnotationPainter.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/CanvasInteraction.h"

#include <QPainterPath>

namespace lumivane::CanvasOverlayPainter {

namespace ci = CanvasInteraction;

namespace {

QColor accentColor(double alpha = 1) {
    QColor c = AnnotationPainter::colorOf(RgbaColor::accent());
    c.setAlphaF(float(alpha));
    return c;
}

} // namespace

void paintSelection(QPainter& painter, const Annotation& a, const std::function<QPointF(QPointF)>& toView) {
    const QRectF image = ci::interactiveRect(a);
    const QRectF outline = QRectF(toView(image.topLeft()), toView(image.bottomRight())).normalized();
    painter.setBrush(Qt::NoBrush);
    if (a.kind != AnnotationKind::arrow) {
        QPen dashed(accentColor(0.9), 1, Qt::DashLine);
        painter.setPen(dashed);
        painter.drawRect(outline.adjusted(-2, -2, 2, 2));
    }
    painter.setPen(Qt::NoPen);
    for (AnnotationHandle h : ci::handles(a.kind)) {
        const QPointF c = toView(ci::handlePosition(a, h));
        const double r = ci::handleDiameter / 2;
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.12f));
        painter.drawEllipse(c + QPointF(0, 1), r + 1, r + 1);
        painter.setBrush(Qt::white);
        painter.drawEllipse(c, r, r);
        painter.setBrush(accentColor());
        painter.drawEllipse(c, ci::handleDotDiameter / 2, ci::handleDotDiameter / 2);
    }
}

void paintCropFrame(QPainter& painter, const QRectF& imageRect, const QRectF& crop) {
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(imageRect);
    outside.addRect(crop & imageRect);
    painter.fillPath(outside, QColor::fromRgbF(0, 0, 0, 0.45f));
    painter.setPen(QPen(Qt::white, 1.5, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(crop);
}

void paintTextDraft(QPainter& painter, const QRectF& rect) {
    painter.setPen(QPen(accentColor(0.75), 1.5, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect, 6, 6);
}

void paintTextFieldFrame(QPainter& painter, const QRectF& fieldGeometry) {
    painter.setPen(QPen(accentColor(0.75), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(fieldGeometry.adjusted(0.75, 0.75, -0.75, -0.75), 6, 6);
}

void paintMarkerNib(QPainter& painter, QPointF center, double lineWidth, double scale, QColor ink) {
    const auto stamp = MarkerChiselPath::stampSize(lineWidth);
    ink.setAlphaF(0.45f);
    const QRectF nib(center.x() - stamp.width * scale / 2, center.y() - stamp.height * scale / 2, stamp.width * scale,
                     stamp.height * scale);
    QPainterPath path;
    MarkerChiselPath::addContinuousRoundedRect(path, nib, stamp.cornerRadius * scale);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.35f), 1));
    painter.setBrush(ink);
    painter.drawPath(path);
}

} // namespace lumivane::CanvasOverlayPainter
