#pragma once
#include <QColor>
#include <QRectF>

class QPainter;

namespace lumivane {

// The "turn up right" share arrow filling `box`.
void drawShareArrow(QPainter& painter, const QRectF& box, const QColor& color);
// A right-pointing chevron filling `box`.
void drawChevron(QPainter& painter, const QRectF& box, const QColor& color);
// Black at an opacity: the share controls' greys.
inline QColor shareBlack(double opacity) {
    return QColor::fromRgbF(0, 0, 0, opacity);
}

} // namespace lumivane
