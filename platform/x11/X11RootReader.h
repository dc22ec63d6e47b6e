#pragma once
#include <QImage>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace lumivane {

// Reads root-window pixels of one X11 connection into opaque RGB32 images, through
// MIT-SHM when the server offers it, else plain GetImage requests. Thread-safe for
// reads; the connection outlives the reader.
class X11RootReader {
public:
    X11RootReader(xcb_connection_t* conn, xcb_screen_t* screen);
    ~X11RootReader();
    X11RootReader(const X11RootReader&) = delete;
    X11RootReader& operator=(const X11RootReader&) = delete;

    // False for pixel formats the conversion does not handle (other than 16, 24 or 32 bits).
    bool supportsPixelFormat() const;
    bool usesSharedMemory() const { return shm_; }
    // Creates the shared-memory segment and has both sides touch its pages.
    void prepare() const;
    // `rect` lies inside the root window; null on failure.
    QImage read(const QRect& rect) const;

private:
    int strideFor(int width) const;
    // Converts rows of a Z-pixmap (padded to the scanline pad) into `out` from `firstRow` on.
    void convertInto(QImage& out, int firstRow, const uint8_t* data, int width, int rows) const;
    // Under shmSegment_.lock.
    bool ensureSegment(size_t size) const;
    void releaseSegment() const;
    QImage grabShm(const QRect& r) const;
    QImage grabPlain(const QRect& r) const;

    xcb_connection_t* conn_;
    xcb_screen_t* screen_;
    bool shm_ = false;
    int bitsPerPixel_ = 32;
    int scanlinePad_ = 32;
    bool lsbFirst_ = true;
    quint32 redMask_ = 0xff0000, greenMask_ = 0xff00, blueMask_ = 0xff;

    // Reads go through one small shared-memory segment per connection, kept for the
    // connection's life, in bands of rows: its pages are faulted in once, by the X server
    // and by this process, however large the screen (a screen-sized segment costs
    // thousands of page faults on both sides whenever it is fresh, and its size in
    // memory for as long as it is kept). The segment has two halves: the server fills
    // one while the other is converted.
    static constexpr size_t bandBytes = size_t(2) << 20;
    struct SharedSegment {
        std::mutex lock;
        xcb_shm_seg_t seg = 0;
        void* mem = nullptr;
        size_t size = 0;
        bool failed = false;
    };
    mutable SharedSegment shmSegment_;
};

} // namespace lumivane
