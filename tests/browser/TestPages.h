#pragma once
// Local pages for the Chromium tests: numbered bands, each in its own colour.
#include <QColor>
#include <QString>
#include <cstdlib>

namespace lumivane::test {

inline QColor bandColor(int i) {
    static const QColor colors[] = {QColor(230, 25, 75), QColor(60, 180, 75), QColor(255, 225, 25),
                                    QColor(0, 130, 200), QColor(245, 130, 48), QColor(145, 30, 180),
                                    QColor(70, 240, 240), QColor(240, 50, 230), QColor(0, 0, 128),
                                    QColor(128, 0, 0)};
    return colors[i % 10];
}

// count bands of bandHeight CSS pixels, numbered, each in its own colour.
inline QString bandsPage(int count, int bandHeight, const QString& extraBody = {}) {
    QString html = "<!doctype html><html><head><style>body{margin:0;font:40px sans-serif}"
                   ".b{height:" + QString::number(bandHeight) + "px;color:#fff;padding-left:700px}"
                   "</style></head><body>" + extraBody;
    for (int i = 0; i < count; ++i)
        html += QStringLiteral("<div class=b style=\"background:%1\">%2</div>").arg(bandColor(i).name()).arg(i + 1);
    return html + "</body></html>";
}

inline bool near(QColor a, QColor b, int tolerance = 8) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace lumivane::test
