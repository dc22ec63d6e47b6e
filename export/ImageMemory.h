#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace lumivane {

// A new, zero-filled image. Large buffers come from anonymous memory advised for
// transparent huge pages: first touch then costs one fault per 2 MB instead of one
// per 4 KB, which dominates filling a fresh 4K canvas on virtual machines.
// Null when the memory cannot be had.
QImage allocateImage(QSize size, QImage::Format format);

// An uninitialised byte buffer placed like allocateImage's large buffers.
class LargeBuffer {
public:
    explicit LargeBuffer(size_t size);
    ~LargeBuffer();
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    uint8_t* data() const { return data_; }   // null when the memory cannot be had
    size_t size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t mapped_ = 0;   // 0: data_ came from new[]
};

} // namespace lumivane
