#include "platform/wayland/PngDecode.h"
#include "core/LargeMemory.h"
#include "platform/wayland/PngUnfilter.h"

#include <libdeflate.h>
#include <spng.h>

#include <QtEndian>
#include <cstring>
#include <memory>
#include <vector>

namespace lumivane {

namespace {

constexpr uint32_t maxSide = 1u << 15;

// A block of screen-sized memory, from LargeMemory when large enough.
struct Block {
    explicit Block(size_t bytes) {
        data = static_cast<uint8_t*>(LargeMemory::take(bytes));
        if (!data) {
            owned.reset(new (std::nothrow) uint8_t[bytes]);
            data = owned.get();
        }
    }
    ~Block() {
        if (!owned && data)
            LargeMemory::give(data);
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    uint8_t* data = nullptr;
    std::unique_ptr<uint8_t[]> owned;
};

QImage imageOf(uint32_t width, uint32_t height) {
    const qsizetype stride = qsizetype(width) * 4;
    const size_t bytes = size_t(stride) * height;
    if (void* mem = LargeMemory::take(bytes))
        return QImage(
            static_cast<uchar*>(mem), int(width), int(height), stride, QImage::Format_RGBA8888,
            [](void* p) { LargeMemory::give(p); }, mem);
    QImage image(int(width), int(height), QImage::Format_RGBA8888);
    if (image.bytesPerLine() != stride)
        return {};
    return image;
}

// The general decoder, for every PNG the fast path leaves out (palettes, 16-bit samples,
// grey, interlacing).
QImage decodeWithSpng(const QByteArray& png) {
    std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(SPNG_CTX_IGNORE_ADLER32), spng_ctx_free);
    if (!ctx || spng_set_png_buffer(ctx.get(), png.constData(), size_t(png.size())) != 0)
        return {};
    spng_set_image_limits(ctx.get(), maxSide, maxSide);
    // Desktop screenshots: skip the CRC and Adler-32 checks of data that never left this machine.
    spng_set_crc_action(ctx.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    spng_ihdr ihdr{};
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0)
        return {};
    size_t bytes = 0;
    if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &bytes) != 0)
        return {};
    QImage image = imageOf(ihdr.width, ihdr.height);
    if (image.isNull() || size_t(image.sizeInBytes()) != bytes)
        return {};
    if (spng_decode_image(ctx.get(), image.bits(), bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
        return {};
    return image;
}

struct Header {
    uint32_t width = 0, height = 0;
    uint8_t depth = 0, colourType = 0, interlace = 0;
};

enum class Fast { decoded, notHandled, broken };

// 8-bit RGB or RGBA without interlacing and without a tRNS chunk: the IDAT data
// inflated in one call into a buffer of the known size, then unfiltered row by row
// straight into the image.
Fast decodeFast(const QByteArray& png, QImage& out) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto* p = reinterpret_cast<const uint8_t*>(png.constData());
    const size_t size = size_t(png.size());
    if (size < 8 || std::memcmp(p, signature, 8) != 0)
        return Fast::broken;
    Header h;
    bool haveHeader = false;
    std::vector<std::pair<const uint8_t*, size_t>> idat;
    size_t idatBytes = 0;
    for (size_t at = 8; at + 12 <= size;) {
        const uint32_t length = qFromBigEndian<uint32_t>(p + at);
        const uint8_t* type = p + at + 4;
        const uint8_t* data = p + at + 8;
        if (length > size - at - 12)
            return Fast::broken;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13)
                return Fast::broken;
            h.width = qFromBigEndian<uint32_t>(data);
            h.height = qFromBigEndian<uint32_t>(data + 4);
            h.depth = data[8];
            h.colourType = data[9];
            h.interlace = data[12];
            haveHeader = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            idat.emplace_back(data, length);
            idatBytes += length;
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            return Fast::notHandled;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        at += size_t(length) + 12;
    }
    if (!haveHeader || idat.empty())
        return Fast::broken;
    if (h.width == 0 || h.height == 0 || h.width > maxSide || h.height > maxSide)
        return Fast::broken;
    if (h.depth != 8 || h.interlace != 0 || (h.colourType != 6 && h.colourType != 2))
        return Fast::notHandled;

    const int bpp = h.colourType == 6 ? 4 : 3;
    const size_t rowBytes = size_t(h.width) * size_t(bpp);
    const size_t rawBytes = (rowBytes + 1) * h.height;

    // One block for the inflated rows and, behind them, the chunks joined into one
    // stream (unless there is only one): reused memory, no fresh pages.
    const bool join = idat.size() > 1;
    Block work(rawBytes + (join ? idatBytes : 0));
    if (!work.data)
        return Fast::broken;
    uint8_t* raw = work.data;
    const uint8_t* stream = idat.front().first;
    if (join) {
        uint8_t* joined = work.data + rawBytes;
        size_t at = 0;
        for (const auto& [data, length] : idat) {
            std::memcpy(joined + at, data, length);
            at += length;
        }
        stream = joined;
    }
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!inflater)
        return Fast::broken;
    size_t inflated = 0;
    if (libdeflate_zlib_decompress(inflater.get(), stream, idatBytes, raw, rawBytes, &inflated) != LIBDEFLATE_SUCCESS ||
        inflated != rawBytes)
        return Fast::broken;

    QImage image = imageOf(h.width, h.height);
    if (image.isNull())
        return Fast::broken;
    const std::vector<uint8_t> zeros(rowBytes, 0);
    std::vector<uint8_t> rgb[2];
    if (bpp == 3)
        rgb[0].resize(rowBytes), rgb[1].resize(rowBytes);
    const uint8_t* prev = zeros.data();
    for (uint32_t y = 0; y < h.height; ++y) {
        const uint8_t* line = raw + size_t(y) * (rowBytes + 1);
        uint8_t* dst = bpp == 4 ? image.scanLine(int(y)) : rgb[y & 1].data();
        if (!detail::unfilterRow(line[0], line + 1, prev, dst, rowBytes, bpp))
            return Fast::broken;
        if (bpp == 3) {
            uint8_t* rgba = image.scanLine(int(y));
            for (size_t x = 0; x < h.width; ++x) {
                rgba[4 * x] = dst[3 * x];
                rgba[4 * x + 1] = dst[3 * x + 1];
                rgba[4 * x + 2] = dst[3 * x + 2];
                rgba[4 * x + 3] = 0xff;
            }
        }
        prev = dst;
    }
    out = std::move(image);
    return Fast::decoded;
}

} // namespace

QImage decodePng(const QByteArray& png) {
    QImage image;
    switch (decodeFast(png, image)) {
    case Fast::decoded:
        return image;
    case Fast::broken:
        return {};
    case Fast::notHandled:
        break;
    }
    return decodeWithSpng(png);
}

} // namespace lumivane
