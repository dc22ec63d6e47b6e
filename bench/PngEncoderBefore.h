#pragma once
// The PNG encoder as it was before rows could go unfiltered and the deflate stream was
// cut into segments (one libdeflate call over adaptively filtered rows), kept only so
// that bench_export reports the old figures next to the new ones in the same run. The
// row filter is shared with the current encoder: that change left it as it was.
#include <QByteArray>
#include <QImage>
#include <optional>

#include <libdeflate.h>

#include "core/PngRowFilter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace lumivane::before {

using detail::filterRow;
using detail::packRgb;

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

} // namespace

__attribute__((noinline)) inline std::optional<QByteArray> encodePng(const QImage& source, int compressionLevel = 6) {
    if (source.isNull() || source.width() < 1 || source.height() < 1)
        return std::nullopt;
    const bool alpha = source.hasAlphaChannel();
    // Opaque images are read as 0xffRRGGBB words and packed to RGB row by row;
    // images with alpha are converted to straight RGBA once.
    const QImage image = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;

    const int bpp = alpha ? 4 : 3;
    const size_t w = static_cast<size_t>(image.width()), h = static_cast<size_t>(image.height());
    const size_t rowBytes = w * bpp;
    if (rowBytes + 1 > SIZE_MAX / h)
        return std::nullopt;

    const size_t filteredSize = (rowBytes + 1) * h;
    // Every byte is written by the filter pass; skip zero-filling.
    std::unique_ptr<uint8_t[]> filtered(new (std::nothrow) uint8_t[filteredSize]);
    if (!filtered)
        return std::nullopt;
    // Rows filter independently (each needs only the unfiltered row above), so strips
    // of rows are filtered in parallel.
    auto filterStrip = [&](size_t y0, size_t y1) {
        std::array<std::vector<uint8_t>, 5> scratch;
        for (auto& s : scratch)
            s.resize(rowBytes);
        std::vector<uint8_t> rows[2] = {std::vector<uint8_t>(rowBytes, 0), std::vector<uint8_t>(rowBytes, 0)};
        if (!alpha && y0 > 0)
            packRgb(image.constScanLine(int(y0 - 1)), w, rows[y0 & 1].data());
        for (size_t y = y0; y < y1; ++y) {
            const uint8_t* cur;
            const uint8_t* prev;
            if (alpha) {
                cur = image.constScanLine(static_cast<int>(y));
                prev = y ? image.constScanLine(static_cast<int>(y - 1)) : rows[0].data();
            } else {
                uint8_t* packed = rows[(y + 1) & 1].data();
                packRgb(image.constScanLine(static_cast<int>(y)), w, packed);
                cur = packed;
                prev = rows[y & 1].data(); // zeros before the first row
            }
            filterRow(cur, prev, rowBytes, bpp, filtered.get() + y * (rowBytes + 1), scratch);
        }
    };
    const size_t strips =
        h * rowBytes >= (size_t(1) << 20) ? std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4) : 1;
    std::vector<std::thread> workers;
    for (size_t k = 1; k < strips; ++k)
        workers.emplace_back(filterStrip, h * k / strips, h * (k + 1) / strips);
    filterStrip(0, h / strips);
    for (auto& t : workers)
        t.join();

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(libdeflate_alloc_compressor(compressionLevel));
    if (!compressor)
        return std::nullopt;
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
    // Chunks hold at most 2^31-1 bytes; split large streams.
    constexpr size_t maxChunk = size_t(1) << 30;
    const size_t idatCount = bound / maxChunk + 1;
    constexpr size_t head = 8 + 25; // signature + IHDR
    QByteArray out;
    out.resize(static_cast<qsizetype>(head + bound + 12 * idatCount + 12));
    auto* base = reinterpret_cast<uint8_t*>(out.data());
    uint8_t* zdata = base + head + 8; // the first IDAT's data follows its length and type
    const size_t zsize = libdeflate_zlib_compress(compressor.get(), filtered.get(), filteredSize, zdata, bound);
    if (zsize == 0)
        return std::nullopt;
    filtered.reset();

    const size_t chunks = (zsize + maxChunk - 1) / maxChunk;
    if (chunks > 1) {
        // Make room for the extra chunk headers (rare: more than 1 GiB of data).
        for (size_t k = chunks - 1; k >= 1; --k) {
            const size_t off = k * maxChunk;
            std::memmove(zdata + off + 12 * k, zdata + off, std::min(maxChunk, zsize - off));
        }
    }
    auto put32 = [](uint8_t* p, uint32_t v) {
        p[0] = uint8_t(v >> 24);
        p[1] = uint8_t(v >> 16);
        p[2] = uint8_t(v >> 8);
        p[3] = uint8_t(v);
    };
    auto finishChunk = [&](uint8_t* chunk, const char type[4], size_t size) {
        put32(chunk, static_cast<uint32_t>(size));
        std::memcpy(chunk + 4, type, 4);
        put32(chunk + 8 + size, libdeflate_crc32(0, chunk + 4, size + 4));
        return chunk + 12 + size;
    };
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::memcpy(base, signature, 8);
    uint8_t* p = base + 8;
    put32(p + 8, static_cast<uint32_t>(w));
    put32(p + 12, static_cast<uint32_t>(h));
    const uint8_t rest[5] = {8, uint8_t(alpha ? 6 : 2), 0, 0, 0};
    std::memcpy(p + 16, rest, 5);
    p = finishChunk(p, "IHDR", 13);
    for (size_t k = 0; k < chunks; ++k)
        p = finishChunk(p, "IDAT", std::min(maxChunk, zsize - k * maxChunk));
    p = finishChunk(p, "IEND", 0);
    out.truncate(static_cast<qsizetype>(p - base));
    return out;
}

} // namespace lumivane::before
