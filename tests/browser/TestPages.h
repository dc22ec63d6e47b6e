#pragma once
// Local pages for the Chromium tests. Marker rows carry their index in their colour
// (red = index & 255, green = index >> 8, blue = a page's tag), so a stitched image can
// be read back row by row: a band missing, repeated or shifted shows as a broken sequence.
#include <QColor>
#include <QImage>
#include <QString>
#include <cstdlib>

namespace lumivane::test {

inline QColor markerColor(int index, int tag = 160) {
    return QColor(index & 255, (index >> 8) & 255, tag);
}

// count rows of rowHeight CSS pixels, each full width, in marker colours.
inline QString markerRows(int count, int rowHeight, int tag = 160) {
    QString html;
    for (int i = 0; i < count; ++i)
        html += QStringLiteral("<div style=\"height:%1px;background:%2\"></div>")
                    .arg(rowHeight)
                    .arg(markerColor(i, tag).name());
    return html;
}

inline QString markerPage(int count, int rowHeight, const QString& head = {}, const QString& bodyStart = {}) {
    return "<!doctype html><html><head><style>body{margin:0}</style>" + head + "</head><body>" + bodyStart +
           markerRows(count, rowHeight) + "</body></html>";
}

inline bool near(QColor a, QColor b, int tolerance = 8) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Reads the marker rows down column x: empty when rows 0..count-1 follow each other,
// each exactly rowHeight pixels high from the top; otherwise what is wrong.
inline QString markerSequenceProblems(const QImage& image, int x, int count, int rowHeight, int tag = 160) {
    int expected = 0, run = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.blue() - tag) > 3)
            return QStringLiteral("row %1 at y %2 is not a marker (%3)").arg(expected).arg(y).arg(c.name());
        const int index = c.red() + 256 * c.green();
        if (index == expected && run < rowHeight) {
            ++run;
        } else if (index == expected + 1 && run == rowHeight) {
            ++expected;
            run = 1;
        } else {
            return QStringLiteral("at y %1: marker %2 after %3 rows of %4").arg(y).arg(index).arg(run).arg(expected);
        }
    }
    if (expected != count - 1 || run != rowHeight)
        return QStringLiteral("ends at marker %1 after %2 rows, expected %3").arg(expected).arg(run).arg(count - 1);
    return {};
}

inline int countNear(const QImage& image, QColor color, int step = 4) {
    int n = 0;
    for (int y = 0; y < image.height(); y += step)
        for (int x = 0; x < image.width(); x += step)
            n += near(image.pixelColor(x, y), color, 12);
    return n;
}

} // namespace lumivane::test
