#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace lumivane {

// A new, zero-filled image. Large ones live in core/LargeMemory's huge-page
// blocks, reused after release, so a fresh 4K canvas does not pay first-touch
// page faults again. Null when the memory cannot be had.
QImage allocateImage(QSize size, QImage::Format format);

// Lets QImageReader allocate a decoded image of `bytes` (Qt refuses more than
// 128 MiB by default) when the system has that much memory available; false when
// it has not. The limit is process-wide and only ever raised.
bool allowImageReadOf(qint64 bytes);

// An uninitialised byte buffer placed like allocateImage's large buffers.
class LargeBuffer {
public:
    explicit LargeBuffer(size_t size);
    ~LargeBuffer();
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    uint8_t* data() const { return data_; } // null when the memory cannot be had
    size_t size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool pooled_ = false; // false: data_ came from new[]
};

} // namespace lumivane
