#pragma once
#include <QFont>
#include <QString>

class QLabel;

namespace lumivane {

// A word-wrapping label at a pixel size and weight; an opacity below 1 fades the
// text colour (secondary texts).
QLabel* makeTextLabel(const QString& text, int pixelSize = 13, QFont::Weight weight = QFont::Normal,
                      double opacity = 1.0);

} // namespace lumivane
