#include "capture/TabularDigits.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace lumivane {

namespace {
qreal digitCell(const QFontMetricsF& metrics) {
    qreal widest = 0;
    for (char d = '0'; d <= '9'; ++d)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(d)));
    return widest;
}

qreal advance(const QFontMetricsF& metrics, qreal cell, QChar c) {
    return c.isDigit() ? cell : metrics.horizontalAdvance(c);
}
} // namespace

qreal tabularTextWidth(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    const qreal cell = digitCell(metrics);
    qreal width = 0;
    for (const QChar c : text)
        width += advance(metrics, cell, c);
    return width;
}

void drawTabularText(QPainter& painter, const QRectF& box, const QString& text) {
    // A long read-out (four-digit sizes) is drawn a little smaller so it stays inside the box.
    const qreal room = box.width() - 4;
    const int pixels = painter.font().pixelSize();
    if (const qreal width = tabularTextWidth(painter.font(), text); pixels > 0 && width > room) {
        QFont smaller = painter.font();
        smaller.setPixelSize(std::max(6, int(pixels * room / width)));
        painter.setFont(smaller);
    }
    const QFontMetricsF metrics(painter.font());
    const qreal cell = digitCell(metrics);
    qreal x = box.center().x() - tabularTextWidth(painter.font(), text) / 2;
    const qreal baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    for (const QChar c : text) {
        const qreal w = advance(metrics, cell, c);
        // A digit sits in the middle of its cell.
        const qreal inset = c.isDigit() ? (cell - metrics.horizontalAdvance(c)) / 2 : 0;
        painter.drawText(QPointF(x + inset, baseline), QString(c));
        x += w;
    }
}

} // namespace lumivane
