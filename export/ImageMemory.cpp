#include "export/ImageMemory.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <sys/mman.h>

namespace lumivane {

namespace {
constexpr qsizetype hugePage = qsizetype(2) << 20;
constexpr qsizetype largeImageBytes = qsizetype(4) << 20;

struct Mapping {
    void* address;
    size_t length;
};

// Anonymous memory rounded up to whole huge pages and advised for them; nothing when
// it cannot be had. `length` receives the mapped size.
void* mapHugePages(size_t bytes, size_t& length) {
    if (bytes > SIZE_MAX - size_t(hugePage)) return nullptr;
    length = (bytes + size_t(hugePage) - 1) / size_t(hugePage) * size_t(hugePage);
    void* address = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) return nullptr;
    madvise(address, length, MADV_HUGEPAGE);
    return address;
}

void unmap(void* info) {
    auto* m = static_cast<Mapping*>(info);
    munmap(m->address, m->length);
    delete m;
}
} // namespace

QImage allocateImage(QSize size, QImage::Format format) {
    if (size.isEmpty()) return {};
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qsizetype bytesPerLine = ((qsizetype(size.width()) * depth + 31) / 32) * 4;
    if (bytesPerLine <= 0 || size.height() > std::numeric_limits<qsizetype>::max() / bytesPerLine) return {};
    const qsizetype bytes = bytesPerLine * size.height();
    if (bytes < largeImageBytes || bytesPerLine > std::numeric_limits<int>::max()) {
        QImage image(size, format);
        if (!image.isNull()) image.fill(0);
        return image;
    }
    size_t length = 0;
    void* address = mapHugePages(size_t(bytes), length);
    if (!address) return {};
    auto* mapping = new Mapping{address, length};
    QImage image(static_cast<uchar*>(address), size.width(), size.height(), bytesPerLine, format, unmap, mapping);
    if (image.isNull()) unmap(mapping);
    return image;
}

LargeBuffer::LargeBuffer(size_t size) : size_(size) {
    if (size < size_t(largeImageBytes)) {
        data_ = new (std::nothrow) uint8_t[std::max<size_t>(size, 1)];
        return;
    }
    size_t length = 0;
    void* address = mapHugePages(size, length);
    if (!address) return;
    data_ = static_cast<uint8_t*>(address);
    mapped_ = length;
}

LargeBuffer::~LargeBuffer() {
    if (mapped_)
        munmap(data_, mapped_);
    else
        delete[] data_;
}

} // namespace lumivane
