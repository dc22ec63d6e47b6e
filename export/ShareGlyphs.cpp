#include "export/ShareGlyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace lumivane {

void drawShareArrow(QPainter& painter, const QRectF& box, const QColor& color) {
    const auto at = [&](double x, double y) {
        return QPointF(box.left() + x * box.width(), box.top() + y * box.height());
    };
    QPainterPath path;
    path.moveTo(at(0.56, 0.30));
    path.lineTo(at(0.56, 0.05));
    path.lineTo(at(1.00, 0.44));
    path.lineTo(at(0.56, 0.83));
    path.lineTo(at(0.56, 0.58));
    path.cubicTo(at(0.34, 0.58), at(0.12, 0.64), at(0.02, 0.95));
    path.cubicTo(at(0.00, 0.56), at(0.20, 0.30), at(0.56, 0.30));
    path.closeSubpath();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(path);
    painter.restore();
}

void drawChevron(QPainter& painter, const QRectF& box, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 1.4);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    const QPointF points[] = {{box.left() + box.width() * 0.3, box.top()},
                              {box.left() + box.width() * 0.75, box.center().y()},
                              {box.left() + box.width() * 0.3, box.bottom()}};
    painter.drawPolyline(points, 3);
    painter.restore();
}

} // namespace lumivane
