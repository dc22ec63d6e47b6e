#include "platform/wayland/wlroots/ShmBuffer.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

namespace lumivane::wlroots {

ShmBuffer::~ShmBuffer() {
    releaseProtocolObject();
    if (data_)
        munmap(data_, size_);
}

std::shared_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, uint32_t format, int width, int height, int stride) {
    if (!shm || width <= 0 || height <= 0 || stride < width * 4)
        return nullptr;
    const size_t size = size_t(stride) * size_t(height);
    const int fd = memfd_create("lumivane-capture", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::shared_ptr<ShmBuffer> b(new ShmBuffer);
    if (ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return nullptr;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    b->data_ = static_cast<uchar*>(data);
    b->size_ = size;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
    b->buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
    wl_shm_pool_destroy(pool);
    close(fd); // the request carries its own duplicate of the descriptor
    b->format_ = format;
    b->width_ = width;
    b->height_ = height;
    b->stride_ = stride;
    return b;
}

void ShmBuffer::touch() {
    const long page = sysconf(_SC_PAGESIZE) > 0 ? sysconf(_SC_PAGESIZE) : 4096;
    for (size_t at = 0; at < size_; at += size_t(page))
        data_[at] = 0;
}

void ShmBuffer::releaseProtocolObject() {
    if (buffer_)
        wl_buffer_destroy(buffer_);
    buffer_ = nullptr;
}

QImage ShmBuffer::wrap(const std::shared_ptr<ShmBuffer>& buffer, const QRect& rect, QImage::Format format) {
    if (!buffer || !QRect(0, 0, buffer->width_, buffer->height_).contains(rect) || rect.isEmpty())
        return {};
    auto* hold = new std::shared_ptr<ShmBuffer>(buffer);
    buffer->lent_.fetch_add(1);
    uchar* first = buffer->data_ + size_t(rect.y()) * size_t(buffer->stride_) + size_t(rect.x()) * 4;
    return QImage(
        first, rect.width(), rect.height(), buffer->stride_, format,
        [](void* info) {
            auto* held = static_cast<std::shared_ptr<ShmBuffer>*>(info);
            (*held)->lent_.fetch_sub(1);
            delete held;
        },
        hold);
}

} // namespace lumivane::wlroots
