#pragma once
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

namespace lumivane::test {

// Lines of text drawn by Qt with the Japanese font the application depends on.
struct TextPicture {
    QStringList lines;
    int pixelSize = 16;
    QColor ink = Qt::black;
    QColor page = Qt::white;
    bool vertical = false; // columns top to bottom, right to left
};
QImage drawText(const TextPicture& picture);

// Edit distance between the texts without their white space, over the length of
// the expected one.
double characterErrorRate(const QString& recognised, const QString& expected);

} // namespace lumivane::test
