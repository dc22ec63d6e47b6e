#include "settings/TextLabel.h"

#include <QLabel>

namespace lumivane {

QLabel* makeTextLabel(const QString& text, int pixelSize, QFont::Weight weight, double opacity) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    label->setFont(font);
    label->setWordWrap(true);
    if (opacity < 1.0) {
        QPalette palette = label->palette();
        QColor color = palette.color(QPalette::WindowText);
        color.setAlphaF(opacity);
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
    }
    return label;
}

} // namespace lumivane
