#include "core/ImageMemory.h"
#include "core/LargeMemory.h"

#include "Sanitizers.h"
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

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
    for (QPoint p : {QPoint(0, 0), QPoint(1999, 1499), QPoint(1000, 750)})
        EXPECT_EQ(again.pixel(p), 0u);

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

namespace {
size_t residentBytes() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}
} // namespace

// Blocks kept for reuse go back to the system once the pool has been idle; a block
// taken afterwards is fresh and zeroed.
TEST(ImageMemory, KeptBlocksGoBackToTheSystemWhenIdle) {
    if (lumivane::test::kAddressSanitizer)
        GTEST_SKIP() << "resident sizes mean nothing under AddressSanitizer";
    LargeMemory::setIdleTrimDelay(200);
    const size_t bytes = size_t(96) << 20;
    const size_t before = residentBytes();
    {
        LargeBuffer block(bytes);
        ASSERT_NE(block.data(), nullptr);
        std::memset(block.data(), 0x5a, bytes);
    }
    EXPECT_GT(residentBytes(), before + bytes / 2) << "kept for reuse right after its release";
    bool returned = false;
    for (int i = 0; i < 100 && !returned; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        returned = residentBytes() < before + bytes / 4;
    }
    EXPECT_TRUE(returned) << "resident " << (residentBytes() >> 20) << " MiB, before " << (before >> 20) << " MiB";
    QImage again = allocateImage(QSize(5000, 5000), QImage::Format_RGB32);
    ASSERT_FALSE(again.isNull());
    EXPECT_EQ(again.pixel(4999, 4999) & 0xffffff, 0u);
    LargeMemory::setIdleTrimDelay(LargeMemory::defaultIdleTrimDelayMs);
}
