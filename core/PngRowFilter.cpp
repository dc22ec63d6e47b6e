#include "core/PngRowFilter.h"

#include <QRgb>
#include <cstdlib>
#include <cstring>

namespace lumivane::detail {

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
        const int s = static_cast<int8_t>(v[i]); // NOLINT(bugprone-signed-char-misuse): residuals are signed bytes
        cost += uint32_t(s < 0 ? -s : s);
    }
    return cost;
}

} // namespace

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
    for (size_t i = b; i < n; ++i)
        f1[i] = static_cast<uint8_t>(cur[i] - cur[i - b]);
    for (size_t i = 0; i < n; ++i)
        f2[i] = static_cast<uint8_t>(cur[i] - prev[i]);
    for (size_t i = b; i < n; ++i)
        f3[i] = static_cast<uint8_t>(cur[i] - ((cur[i - b] + prev[i]) >> 1));
    for (size_t i = b; i < n; ++i)
        f4[i] = static_cast<uint8_t>(cur[i] - paeth(cur[i - b], prev[i], prev[i - b]));
    const uint32_t costs[5] = {residualCost(cur, n), residualCost(f1, n), residualCost(f2, n), residualCost(f3, n),
                               residualCost(f4, n)};
    int best = 0;
    for (int f = 1; f < 5; ++f)
        if (costs[f] < costs[best])
            best = f;
    out[0] = static_cast<uint8_t>(best);
    std::memcpy(out + 1, best ? scratch[best].data() : cur, n);
}

__attribute__((target_clones("avx2", "default"))) void packRgb(const uint8_t* line, size_t w, uint8_t* out) {
    const auto* words = reinterpret_cast<const QRgb*>(line);
    for (size_t x = 0; x < w; ++x) {
        out[3 * x] = static_cast<uint8_t>(qRed(words[x]));
        out[3 * x + 1] = static_cast<uint8_t>(qGreen(words[x]));
        out[3 * x + 2] = static_cast<uint8_t>(qBlue(words[x]));
    }
}

} // namespace lumivane::detail
