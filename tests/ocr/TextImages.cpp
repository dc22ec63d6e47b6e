#include "TextImages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace lumivane::test {

namespace {

std::vector<char32_t> withoutSpace(const QString& text) {
    std::vector<char32_t> out;
    for (char32_t c : text.toUcs4())
        if (!QChar::isSpace(c))
            out.push_back(c);
    return out;
}

} // namespace

QImage drawText(const TextPicture& picture) {
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(picture.pixelSize);
    const QFontMetrics metrics(font);
    const int margin = picture.pixelSize * 2;
    const int advance = picture.pixelSize * 3 / 2; // line or column pitch
    int longest = 0;
    for (const QString& line : picture.lines)
        longest = std::max(longest, picture.vertical ? int(line.toUcs4().size()) * picture.pixelSize
                                                     : metrics.horizontalAdvance(line));
    const int across = int(picture.lines.size()) * advance;
    const QSize size = picture.vertical ? QSize(across + 2 * margin, longest + 2 * margin)
                                        : QSize(longest + 2 * margin, across + 2 * margin);
    QImage image(size, QImage::Format_RGB32);
    image.fill(picture.page);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(picture.ink);
    for (int i = 0; i < picture.lines.size(); ++i) {
        if (!picture.vertical) {
            painter.drawText(margin, margin + i * advance + metrics.ascent(), picture.lines[i]);
            continue;
        }
        const int x = size.width() - margin - (i + 1) * advance;
        int y = margin;
        for (char32_t c : picture.lines[i].toUcs4()) {
            const QString glyph = QString::fromUcs4(&c, 1);
            painter.drawText(QRect(x, y, picture.pixelSize, picture.pixelSize), Qt::AlignCenter, glyph);
            y += picture.pixelSize;
        }
    }
    return image;
}

double characterErrorRate(const QString& recognised, const QString& expected) {
    const auto a = withoutSpace(recognised), b = withoutSpace(expected);
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return b.empty() ? double(a.size()) : double(row[b.size()]) / double(b.size());
}

} // namespace lumivane::test
