#include "core/ImageMemory.h"
#include "core/LargeMemory.h"

#include <QImageReader>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace lumivane {

namespace {
constexpr qsizetype largeImageBytes = qsizetype(4) << 20;

void giveBack(void* block) {
    LargeMemory::give(block);
}
} // namespace

QImage allocateImage(QSize size, QImage::Format format) {
    if (size.isEmpty())
        return {};
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qsizetype bytesPerLine = ((qsizetype(size.width()) * depth + 31) / 32) * 4;
    if (bytesPerLine <= 0 || size.height() > std::numeric_limits<qsizetype>::max() / bytesPerLine)
        return {};
    const qsizetype bytes = bytesPerLine * size.height();
    if (bytes < largeImageBytes || bytesPerLine > std::numeric_limits<int>::max()) {
        QImage image(size, format);
        if (!image.isNull())
            image.fill(0);
        return image;
    }
    void* block = LargeMemory::take(size_t(bytes));
    if (!block)
        return {};
    // A reused block holds old pixels.
    std::memset(block, 0, size_t(bytes));
    QImage image(static_cast<uchar*>(block), size.width(), size.height(), bytesPerLine, format, giveBack, block);
    if (image.isNull())
        LargeMemory::give(block);
    return image;
}

bool allowImageReadOf(qint64 bytes) {
    if (bytes <= 0)
        return true;
    const size_t available = LargeMemory::availableBytes();
    if (available != 0 && quint64(bytes) > available)
        return false;
    const qint64 mib = std::min<qint64>((bytes >> 20) + 2, std::numeric_limits<int>::max());
    if (mib > QImageReader::allocationLimit())
        QImageReader::setAllocationLimit(int(mib));
    return true;
}

LargeBuffer::LargeBuffer(size_t size) : size_(size) {
    if (size < size_t(largeImageBytes)) {
        data_ = new (std::nothrow) uint8_t[std::max<size_t>(size, 1)];
        return;
    }
    data_ = static_cast<uint8_t*>(LargeMemory::take(size));
    pooled_ = data_ != nullptr;
}

LargeBuffer::~LargeBuffer() {
    if (pooled_)
        LargeMemory::give(data_);
    else
        delete[] data_;
}

} // namespace lumivane
