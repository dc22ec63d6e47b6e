#include "export/Encoders.h"

#include <libdeflate.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace lumivane::detail {

namespace {

// Filtered row cost: sum of the bytes taken as signed magnitudes (the usual
// minimum-sum-of-absolute-differences heuristic).
inline uint32_t rowCost(const uint8_t* p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const int8_t v = static_cast<int8_t>(p[i]);
        sum += static_cast<uint32_t>(v < 0 ? -v : v);
    }
    return sum;
}

inline uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    if (pb <= pc) return static_cast<uint8_t>(b);
    return static_cast<uint8_t>(c);
}

// Writes the filter type byte and the filtered row of `cur` (with `prev` the
// previous unfiltered row, or zeros) into out; picks the cheapest of the five filters.
void filterRow(const uint8_t* cur, const uint8_t* prev, size_t n, int bpp, uint8_t* out,
               std::array<std::vector<uint8_t>, 5>& scratch) {
    uint8_t* f0 = scratch[0].data();
    uint8_t* f1 = scratch[1].data();
    uint8_t* f2 = scratch[2].data();
    uint8_t* f3 = scratch[3].data();
    uint8_t* f4 = scratch[4].data();
    for (int i = 0; i < bpp; ++i) {
        f0[i] = cur[i];
        f1[i] = cur[i];
        f2[i] = static_cast<uint8_t>(cur[i] - prev[i]);
        f3[i] = static_cast<uint8_t>(cur[i] - (prev[i] >> 1));
        f4[i] = static_cast<uint8_t>(cur[i] - prev[i]);
    }
    for (size_t i = bpp; i < n; ++i) {
        const uint8_t a = cur[i - bpp], b = prev[i], c = prev[i - bpp];
        f0[i] = cur[i];
        f1[i] = static_cast<uint8_t>(cur[i] - a);
        f2[i] = static_cast<uint8_t>(cur[i] - b);
        f3[i] = static_cast<uint8_t>(cur[i] - ((a + b) >> 1));
        f4[i] = static_cast<uint8_t>(cur[i] - paeth(a, b, c));
    }
    int best = 0;
    uint32_t bestCost = UINT32_MAX;
    for (int f = 0; f < 5; ++f) {
        const uint32_t cost = rowCost(scratch[f].data(), n);
        if (cost < bestCost) {
            bestCost = cost;
            best = f;
        }
    }
    out[0] = static_cast<uint8_t>(best);
    std::memcpy(out + 1, scratch[best].data(), n);
}

void putU32(QByteArray& out, uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void appendChunk(QByteArray& out, const char type[4], const uint8_t* data, size_t size) {
    putU32(out, static_cast<uint32_t>(size));
    const qsizetype start = out.size();
    out.append(type, 4);
    if (size) out.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const uint32_t crc = libdeflate_crc32(0, out.constData() + start, static_cast<size_t>(out.size() - start));
    putU32(out, crc);
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

} // namespace

std::optional<QByteArray> encodePng(const QImage& source, int compressionLevel) {
    if (source.isNull() || source.width() < 1 || source.height() < 1) return std::nullopt;
    const bool alpha = source.hasAlphaChannel();
    const QImage image = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (image.isNull()) return std::nullopt;

    const int bpp = alpha ? 4 : 3;
    const size_t w = static_cast<size_t>(image.width()), h = static_cast<size_t>(image.height());
    const size_t rowBytes = w * bpp;
    if (rowBytes + 1 > SIZE_MAX / h) return std::nullopt;

    std::vector<uint8_t> filtered((rowBytes + 1) * h);
    std::array<std::vector<uint8_t>, 5> scratch;
    for (auto& s : scratch) s.resize(rowBytes);
    const std::vector<uint8_t> zeros(rowBytes, 0);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* cur = image.constScanLine(static_cast<int>(y));
        const uint8_t* prev = y ? image.constScanLine(static_cast<int>(y - 1)) : zeros.data();
        filterRow(cur, prev, rowBytes, bpp, filtered.data() + y * (rowBytes + 1), scratch);
    }

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(compressionLevel));
    if (!compressor) return std::nullopt;
    std::vector<uint8_t> compressed(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
    const size_t compressedSize = libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(),
                                                           compressed.data(), compressed.size());
    if (compressedSize == 0) return std::nullopt;

    QByteArray out;
    out.reserve(static_cast<qsizetype>(compressedSize + 64));
    static const char signature[8] = {char(0x89), 'P', 'N', 'G', '\r', '\n', char(0x1a), '\n'};
    out.append(signature, 8);
    uint8_t ihdr[13];
    const uint32_t w32 = static_cast<uint32_t>(w), h32 = static_cast<uint32_t>(h);
    const uint8_t header[13] = {uint8_t(w32 >> 24), uint8_t(w32 >> 16), uint8_t(w32 >> 8), uint8_t(w32),
                                uint8_t(h32 >> 24), uint8_t(h32 >> 16), uint8_t(h32 >> 8), uint8_t(h32),
                                8, uint8_t(alpha ? 6 : 2), 0, 0, 0};
    std::memcpy(ihdr, header, sizeof ihdr);
    appendChunk(out, "IHDR", ihdr, sizeof ihdr);
    // Chunks are limited to 2^31-1 bytes; split large streams.
    constexpr size_t maxChunk = size_t(1) << 30;
    for (size_t off = 0; off < compressedSize; off += maxChunk)
        appendChunk(out, "IDAT", compressed.data() + off, std::min(maxChunk, compressedSize - off));
    appendChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace lumivane::detail
