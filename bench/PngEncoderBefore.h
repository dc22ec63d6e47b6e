#pragma once
// The PNG encoder as it was before rows could go unfiltered and the deflate stream was
// cut into segments (one libdeflate call over adaptively filtered rows), kept only so
// that bench_export reports the old figures next to the new ones in the same run.
#include <QByteArray>
#include <QImage>
#include <optional>

#include <libdeflate.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>
#include <algorithm>

namespace lumivane::before {

namespace {

// Each row is filtered five ways and the form with the smallest sum of residuals
// (taken as signed magnitudes, the usual heuristic) is kept. The loops are kept
// separate, on restrict pointers and 16-bit arithmetic, so the compiler
// vectorises every one of them.
inline uint8_t paeth(int a, int b, int c) {
    const int16_t pa = int16_t(std::abs(b - c)), pb = int16_t(std::abs(a - c)), pc = int16_t(std::abs(a + b - 2 * c));
    const int bc = pb <= pc ? b : c;
    return uint8_t((pa <= pb && pa <= pc) ? a : bc);
}

__attribute__((target_clones("avx2", "default"))) uint32_t residualCost(const uint8_t* __restrict__ v, size_t n) {
    uint32_t cost = 0;
    for (size_t i = 0; i < n; ++i) {
        const int s = static_cast<int8_t>(v[i]);
        cost += uint32_t(s < 0 ? -s : s);
    }
    return cost;
}

// Filters `cur` (with `prev` the previous unfiltered row, or zeros) into out:
// the filter type byte, then the row filtered by the cheapest of the five filters.
__attribute__((target_clones("avx2", "default"))) void filterRow(const uint8_t* __restrict__ cur,
                                                                 const uint8_t* __restrict__ prev, size_t n, int bpp,
                                                                 uint8_t* __restrict__ out,
                                                                 std::array<std::vector<uint8_t>, 5>& scratch) {
    uint8_t* __restrict__ f1 = scratch[1].data();
    uint8_t* __restrict__ f2 = scratch[2].data();
    uint8_t* __restrict__ f3 = scratch[3].data();
    uint8_t* __restrict__ f4 = scratch[4].data();
    const size_t b = size_t(bpp);
    for (size_t i = 0; i < b; ++i) {
        f1[i] = cur[i];
        f3[i] = static_cast<uint8_t>(cur[i] - (prev[i] >> 1));
        f4[i] = static_cast<uint8_t>(cur[i] - prev[i]);
    }
    for (size_t i = b; i < n; ++i) f1[i] = static_cast<uint8_t>(cur[i] - cur[i - b]);
    for (size_t i = 0; i < n; ++i) f2[i] = static_cast<uint8_t>(cur[i] - prev[i]);
    for (size_t i = b; i < n; ++i) f3[i] = static_cast<uint8_t>(cur[i] - ((cur[i - b] + prev[i]) >> 1));
    for (size_t i = b; i < n; ++i) f4[i] = static_cast<uint8_t>(cur[i] - paeth(cur[i - b], prev[i], prev[i - b]));
    const uint32_t costs[5] = {residualCost(cur, n), residualCost(f1, n), residualCost(f2, n), residualCost(f3, n),
                               residualCost(f4, n)};
    int best = 0;
    for (int f = 1; f < 5; ++f)
        if (costs[f] < costs[best]) best = f;
    out[0] = static_cast<uint8_t>(best);
    std::memcpy(out + 1, best ? scratch[best].data() : cur, n);
}

// 0xffRRGGBB words to packed RGB.
__attribute__((target_clones("avx2", "default"))) void packRgb(const uint8_t* line, size_t w, uint8_t* out) {
    const auto* words = reinterpret_cast<const QRgb*>(line);
    for (size_t x = 0; x < w; ++x) {
        out[3 * x] = static_cast<uint8_t>(qRed(words[x]));
        out[3 * x + 1] = static_cast<uint8_t>(qGreen(words[x]));
        out[3 * x + 2] = static_cast<uint8_t>(qBlue(words[x]));
    }
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

} // namespace

__attribute__((noinline)) inline std::optional<QByteArray> encodePng(const QImage& source,
                                                                    int compressionLevel = 6) {
    if (source.isNull() || source.width() < 1 || source.height() < 1) return std::nullopt;
    const bool alpha = source.hasAlphaChannel();
    // Opaque images are read as 0xffRRGGBB words and packed to RGB row by row;
    // images with alpha are converted to straight RGBA once.
    const QImage image = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB32);
    if (image.isNull()) return std::nullopt;

    const int bpp = alpha ? 4 : 3;
    const size_t w = static_cast<size_t>(image.width()), h = static_cast<size_t>(image.height());
    const size_t rowBytes = w * bpp;
    if (rowBytes + 1 > SIZE_MAX / h) return std::nullopt;

    const size_t filteredSize = (rowBytes + 1) * h;
    // Every byte is written by the filter pass; skip zero-filling.
    std::unique_ptr<uint8_t[]> filtered(new (std::nothrow) uint8_t[filteredSize]);
    if (!filtered) return std::nullopt;
    // Rows filter independently (each needs only the unfiltered row above), so strips
    // of rows are filtered in parallel.
    auto filterStrip = [&](size_t y0, size_t y1) {
        std::array<std::vector<uint8_t>, 5> scratch;
        for (auto& s : scratch) s.resize(rowBytes);
        std::vector<uint8_t> rows[2] = {std::vector<uint8_t>(rowBytes, 0), std::vector<uint8_t>(rowBytes, 0)};
        if (!alpha && y0 > 0) packRgb(image.constScanLine(int(y0 - 1)), w, rows[y0 & 1].data());
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
    const size_t strips = h * rowBytes >= (size_t(1) << 20)
                              ? std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4)
                              : 1;
    std::vector<std::thread> workers;
    for (size_t k = 1; k < strips; ++k) workers.emplace_back(filterStrip, h * k / strips, h * (k + 1) / strips);
    filterStrip(0, h / strips);
    for (auto& t : workers) t.join();

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(compressionLevel));
    if (!compressor) return std::nullopt;
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
    // Chunks hold at most 2^31-1 bytes; split large streams.
    constexpr size_t maxChunk = size_t(1) << 30;
    const size_t idatCount = bound / maxChunk + 1;
    constexpr size_t head = 8 + 25; // signature + IHDR
    QByteArray out;
    out.resize(static_cast<qsizetype>(head + bound + 12 * idatCount + 12));
    auto* base = reinterpret_cast<uint8_t*>(out.data());
    uint8_t* zdata = base + head + 8; // the first IDAT's data follows its length and type
    const size_t zsize =
        libdeflate_zlib_compress(compressor.get(), filtered.get(), filteredSize, zdata, bound);
    if (zsize == 0) return std::nullopt;
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
    for (size_t k = 0; k < chunks; ++k) p = finishChunk(p, "IDAT", std::min(maxChunk, zsize - k * maxChunk));
    p = finishChunk(p, "IEND", 0);
    out.truncate(static_cast<qsizetype>(p - base));
    return out;
}

} // namespace lumivane::before
