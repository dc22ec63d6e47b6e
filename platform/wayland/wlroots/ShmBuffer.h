#pragma once
#include <QImage>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <memory>

struct wl_buffer;
struct wl_shm;

namespace lumivane::wlroots {

// One buffer in memory shared with the compositor (a memfd behind a wl_shm pool),
// reused capture after capture. Images handed out wrap its pages without a copy and
// keep it alive; while any of them exists the buffer counts as lent and is not
// written again. The wl_buffer belongs to the connection's thread rules; the memory
// outlives it until the last image lets go.
class ShmBuffer {
public:
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    // Null when the memory cannot be had.
    static std::shared_ptr<ShmBuffer> create(wl_shm* shm, uint32_t format, int width, int height, int stride);

    // Writes every page once, so that neither side takes page faults during a copy.
    void touch();
    // Destroys the wl_buffer (the memory stays while images hold it).
    void releaseProtocolObject();

    bool fits(uint32_t format, int width, int height, int stride) const {
        return format_ == format && width_ == width && height_ == height && stride_ == stride;
    }
    bool isLent() const { return lent_.load() > 0; }

    // The pixels of rect (buffer coordinates) as an image over this memory, no copy.
    static QImage wrap(const std::shared_ptr<ShmBuffer>& buffer, const QRect& rect, QImage::Format format);

    wl_buffer* protocolObject() const { return buffer_; }
    uint32_t format() const { return format_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }

private:
    ShmBuffer() = default;

    wl_buffer* buffer_ = nullptr;
    uchar* data_ = nullptr;
    size_t size_ = 0;
    uint32_t format_ = 0;
    int width_ = 0, height_ = 0, stride_ = 0;
    std::atomic<int> lent_{0};
};

} // namespace lumivane::wlroots
