// The size badge's numbers keep their width while they change.
#include "capture/TabularDigits.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace lumivane;

// The first and last columns of an image that hold any ink.
std::pair<int, int> inkSpan(const QImage& image) {
    int first = image.width(), last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) > 60) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

TEST(TabularDigits, NumbersOfTheSameLengthAreEquallyWideAndFitTheBadge) {
    QFont font;
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    const qreal width = tabularTextWidth(font, "111 × 111");
    EXPECT_DOUBLE_EQ(tabularTextWidth(font, "888 × 888"), width);
    EXPECT_DOUBLE_EQ(tabularTextWidth(font, "407 × 920"), width);
    EXPECT_LT(tabularTextWidth(font, "11 × 11"), width);

    for (const char* text : {"111 × 111", "888 × 888", "1920 × 1080"}) {
        QImage image(72, 20, QImage::Format_RGB32);
        image.fill(Qt::black);
        {
            QPainter p(&image);
            p.setFont(font);
            p.setPen(Qt::white);
            drawTabularText(p, QRectF(0, 0, 72, 20), QString::fromUtf8(text));
        }
        const auto [first, last] = inkSpan(image);
        EXPECT_GT(first, 0) << text;
        EXPECT_LT(last, 71) << text << ": inside the 72-point badge";
        EXPECT_NEAR((first + last) / 2.0, 36, 3) << text << ": centred";
    }
}

} // namespace
