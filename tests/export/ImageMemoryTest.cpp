#include "export/ImageMemory.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace lumivane;

TEST(ImageMemory, LargeAndSmallImagesAreZeroedPaintableAndOutliveTheirFirstOwner) {
    for (QSize size : {QSize(3, 2), QSize(3913, 2233)}) {
        QImage copy;
        {
            QImage image = allocateImage(size, QImage::Format_ARGB32_Premultiplied);
            ASSERT_FALSE(image.isNull());
            ASSERT_EQ(image.size(), size);
            EXPECT_EQ(image.pixel(size.width() - 1, size.height() - 1), 0u);
            QPainter(&image).fillRect(QRect(1, 1, 1, 1), Qt::red);
            copy = image;
        }
        EXPECT_EQ(copy.pixel(1, 1), qRgb(255, 0, 0));
        EXPECT_EQ(copy.pixel(0, 0), 0u);
        QImage detached = copy;
        detached.setPixel(0, 0, qRgb(1, 2, 3));
        EXPECT_EQ(copy.pixel(0, 0), 0u) << "writes to a copy do not reach the shared buffer";
    }
    EXPECT_TRUE(allocateImage(QSize(0, 10), QImage::Format_RGB32).isNull());
    EXPECT_TRUE(allocateImage(QSize(1 << 30, 1 << 30), QImage::Format_RGB32).isNull());
}

TEST(ImageMemory, ReleasedBlocksAreReusedAndComeBackZeroed) {
    const QSize size(2000, 1500);
    const uchar* first = nullptr;
    {
        QImage image = allocateImage(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::red);
        first = image.constBits();
    }
    QImage again = allocateImage(size, QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(again.constBits(), first) << "the released block is taken again";
    for (QPoint p : {QPoint(0, 0), QPoint(1999, 1499), QPoint(1000, 750)}) EXPECT_EQ(again.pixel(p), 0u);

    // Two different sizes released one after the other both stay available.
    const uchar* small = nullptr;
    const uchar* large = nullptr;
    {
        LargeBuffer a(size_t(9) << 20);
        QImage b = allocateImage(QSize(4000, 3000), QImage::Format_RGB32);
        small = a.data();
        large = b.constBits();
    }
    LargeBuffer a2(size_t(9) << 20);
    QImage b2 = allocateImage(QSize(4000, 3000), QImage::Format_RGB32);
    EXPECT_EQ(a2.data(), small);
    EXPECT_EQ(b2.constBits(), large);
}
