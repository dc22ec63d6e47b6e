#pragma once
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace lumivane {

// Text whose digits all take the width of the widest digit, so a changing number
// keeps its width (a size read-out does not jitter while it counts).
qreal tabularTextWidth(const QFont& font, const QString& text);
// Draws the text centred in `box` with such digits, in the painter's font and pen.
void drawTabularText(QPainter& painter, const QRectF& box, const QString& text);

} // namespace lumivane
