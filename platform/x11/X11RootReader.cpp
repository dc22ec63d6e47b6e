#include "platform/x11/X11RootReader.h"
#include "core/LargeMemory.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace lumivane {

namespace {

QImage allocateImage(int width, int height) {
    const size_t bytesPerLine = size_t(width) * 4;
    void* mem = LargeMemory::take(bytesPerLine * size_t(height));
    if (!mem)
        return QImage(width, height, QImage::Format_RGB32);
    return QImage(
        static_cast<uchar*>(mem), width, height, qsizetype(bytesPerLine), QImage::Format_RGB32,
        [](void* p) { LargeMemory::give(p); }, mem);
}

} // namespace

X11RootReader::X11RootReader(xcb_connection_t* conn, xcb_screen_t* screen) : conn_(conn), screen_(screen) {
    const xcb_setup_t* setup = xcb_get_setup(conn_);
    lsbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen_->root_depth) {
            bitsPerPixel_ = f.data->bits_per_pixel;
            scanlinePad_ = f.data->scanline_pad;
        }
    }
    for (auto d = xcb_screen_allowed_depths_iterator(screen_); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen_->root_visual) {
                redMask_ = v.data->red_mask;
                greenMask_ = v.data->green_mask;
                blueMask_ = v.data->blue_mask;
            }
        }
    }
    if (auto* ext = xcb_get_extension_data(conn_, &xcb_shm_id); ext && ext->present) {
        if (auto* version = xcb_shm_query_version_reply(conn_, xcb_shm_query_version(conn_), nullptr)) {
            shm_ = true;
            free(version);
        }
    }
}

X11RootReader::~X11RootReader() {
    releaseSegment();
}

bool X11RootReader::supportsPixelFormat() const {
    return bitsPerPixel_ == 16 || bitsPerPixel_ == 24 || bitsPerPixel_ == 32;
}

QImage X11RootReader::read(const QRect& r) const {
    QImage img = shm_ ? grabShm(r) : QImage();
    if (img.isNull())
        img = grabPlain(r);
    return img;
}

int X11RootReader::strideFor(int width) const {
    return ((width * bitsPerPixel_ + scanlinePad_ - 1) / scanlinePad_) * (scanlinePad_ / 8);
}

void X11RootReader::convertInto(QImage& out, int firstRow, const uint8_t* data, int width, int rows) const {
    const int stride = strideFor(width);
    const int bytesPerPixel = bitsPerPixel_ / 8;
    if (bitsPerPixel_ == 32 && lsbFirst_ && redMask_ == 0xff0000 && greenMask_ == 0xff00 && blueMask_ == 0xff) {
        // RGB32 needs the padding byte set to 0xff.
        for (int y = 0; y < rows; ++y) {
            const auto* src = reinterpret_cast<const quint32*>(data + size_t(y) * stride);
            auto* dst = reinterpret_cast<quint32*>(out.scanLine(firstRow + y));
            for (int x = 0; x < width; ++x)
                dst[x] = src[x] | 0xff000000u;
        }
        return;
    }
    auto channel = [](quint32 pixel, quint32 mask) -> int {
        if (!mask)
            return 0;
        const int shift = __builtin_ctz(mask);
        const quint32 max = mask >> shift;
        return int(((pixel & mask) >> shift) * 255 / max);
    };
    for (int y = 0; y < rows; ++y) {
        const uint8_t* row = data + size_t(y) * stride;
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(firstRow + y));
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + ptrdiff_t(x) * bytesPerPixel;
            quint32 pixel = 0;
            for (int b = 0; b < bytesPerPixel; ++b)
                pixel |= quint32(p[b]) << (lsbFirst_ ? 8 * b : 8 * (bytesPerPixel - 1 - b));
            dst[x] = qRgb(channel(pixel, redMask_), channel(pixel, greenMask_), channel(pixel, blueMask_));
        }
    }
}

bool X11RootReader::ensureSegment(size_t size) const {
    SharedSegment& s = shmSegment_;
    if (s.mem && s.size >= size)
        return true;
    releaseSegment();
    const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void* mem = shmat(id, nullptr, 0);
    if (mem == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const xcb_shm_seg_t seg = xcb_generate_id(conn_);
    xcb_generic_error_t* error = xcb_request_check(conn_, xcb_shm_attach_checked(conn_, seg, id, 0));
    // Both sides are attached now (or never will be); the segment goes away with the last detach.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        free(error);
        shmdt(mem);
        return false;
    }
    s.seg = seg;
    s.mem = mem;
    s.size = size;
    return true;
}

void X11RootReader::releaseSegment() const {
    SharedSegment& s = shmSegment_;
    if (!s.mem)
        return;
    xcb_shm_detach(conn_, s.seg);
    xcb_flush(conn_);
    shmdt(s.mem);
    s.mem = nullptr;
    s.size = 0;
}

// One read of the root into the whole segment: the server faults its pages in,
// then this process does.
void X11RootReader::prepare() const {
    if (!shm_)
        return;
    std::lock_guard guard(shmSegment_.lock);
    if (shmSegment_.failed || shmSegment_.mem)
        return;
    if (!ensureSegment(2 * bandBytes)) {
        shmSegment_.failed = true;
        return;
    }
    const int width = std::min<int>(screen_->width_in_pixels, int(bandBytes / 4));
    const int rows = std::min<int>(screen_->height_in_pixels, int(2 * bandBytes / size_t(strideFor(width))));
    if (width <= 0 || rows <= 0)
        return;
    free(xcb_shm_get_image_reply(conn_,
                                 xcb_shm_get_image(conn_, screen_->root, 0, 0, uint16_t(width), uint16_t(rows), ~0u,
                                                   XCB_IMAGE_FORMAT_Z_PIXMAP, shmSegment_.seg, 0),
                                 nullptr));
    volatile const uint8_t* p = static_cast<const uint8_t*>(shmSegment_.mem);
    const long page = sysconf(_SC_PAGESIZE);
    for (size_t i = 0; i < shmSegment_.size; i += size_t(page > 0 ? page : 4096))
        (void)p[i];
}

QImage X11RootReader::grabShm(const QRect& r) const {
    std::lock_guard guard(shmSegment_.lock);
    if (shmSegment_.failed)
        return {};
    const size_t stride = size_t(strideFor(r.width()));
    const int bandRows = int(std::clamp<size_t>(bandBytes / stride, 1, size_t(r.height())));
    const size_t half = stride * size_t(bandRows);
    if (!ensureSegment(std::max(2 * half, 2 * bandBytes))) {
        shmSegment_.failed = true; // e.g. a remote server: plain reads from now on
        return {};
    }
    QImage out = allocateImage(r.width(), r.height());
    if (out.isNull())
        return out;
    auto request = [&](int band) {
        const int y0 = band * bandRows;
        const int rows = std::min(bandRows, r.height() - y0);
        return xcb_shm_get_image(conn_, screen_->root, int16_t(r.x()), int16_t(r.y() + y0), uint16_t(r.width()),
                                 uint16_t(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, shmSegment_.seg,
                                 uint32_t((band % 2) * half));
    };
    const int bands = (r.height() + bandRows - 1) / bandRows;
    xcb_shm_get_image_cookie_t cookie = request(0);
    for (int band = 0; band < bands; ++band) {
        auto* reply = xcb_shm_get_image_reply(conn_, cookie, nullptr);
        if (!reply)
            return {}; // nothing else is in flight
        free(reply);
        // The next band goes into the other half while this one is converted.
        if (band + 1 < bands)
            cookie = request(band + 1);
        const int y0 = band * bandRows;
        convertInto(out, y0, static_cast<const uint8_t*>(shmSegment_.mem) + (band % 2) * half, r.width(),
                    std::min(bandRows, r.height() - y0));
    }
    return out;
}

QImage X11RootReader::grabPlain(const QRect& r) const {
    // Stay under the maximum request length by reading bands.
    const int bandRows = std::max(1, int((4 << 20) / std::max(1, strideFor(r.width()))));
    QImage out = allocateImage(r.width(), r.height());
    if (out.isNull())
        return out;
    for (int y0 = 0; y0 < r.height(); y0 += bandRows) {
        const int rows = std::min(bandRows, r.height() - y0);
        auto cookie =
            xcb_get_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, r.x(), r.y() + y0, r.width(), rows, ~0u);
        auto* reply = xcb_get_image_reply(conn_, cookie, nullptr);
        if (!reply)
            return {};
        convertInto(out, y0, xcb_get_image_data(reply), r.width(), rows);
        free(reply);
    }
    return out;
}

} // namespace lumivane
