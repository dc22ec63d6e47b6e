#include "platform/wayland/PngUnfilter.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumivane::detail {

namespace {

inline uint8_t paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

void paethScalar(const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n, size_t bpp) {
    for (size_t i = 0; i < bpp && i < n; ++i)
        out[i] = uint8_t(raw[i] + prev[i]);
    for (size_t i = bpp; i < n; ++i)
        out[i] = uint8_t(raw[i] + paeth(out[i - bpp], prev[i], prev[i - bpp]));
}

#if defined(__SSE2__)
// One pixel of up to four bytes at a time in 16-bit lanes: the predictor of each pixel
// depends on the one before it, so the work is across the channels.
template <size_t Bpp>
inline __m128i loadPixel(const uint8_t* p) {
    uint32_t v = 0;
    std::memcpy(&v, p, Bpp);
    return _mm_cvtsi32_si128(int(v));
}
template <size_t Bpp>
inline void storePixel(uint8_t* p, __m128i v) {
    const uint32_t w = uint32_t(_mm_cvtsi128_si32(v));
    std::memcpy(p, &w, Bpp);
}
inline __m128i abs16(__m128i x) {
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}
inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <size_t Bpp>
void paethSse2(const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero; // the pixel to the left, and the one above it (16-bit)
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i), zero);
        const __m128i x = loadPixel<Bpp>(raw + i);
        const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
        const __m128i pa = abs16(bc), pb = abs16(ac), pc = abs16(_mm_add_epi16(bc, ac));
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        const __m128i predictor = select(_mm_cmpeq_epi16(pa, smallest), a, select(_mm_cmpeq_epi16(pb, smallest), b, c));
        const __m128i sum = _mm_add_epi8(_mm_packus_epi16(predictor, zero), x);
        storePixel<Bpp>(out + i, sum);
        a = _mm_unpacklo_epi8(sum, zero);
        c = b;
    }
}
#endif

} // namespace

__attribute__((target_clones("avx2", "default"))) bool unfilterRow(uint8_t filter, const uint8_t* __restrict__ raw,
                                                                   const uint8_t* __restrict__ prev,
                                                                   uint8_t* __restrict__ out, size_t n, int bppInt) {
    const size_t bpp = size_t(bppInt);
    switch (filter) {
    case 0:
        std::memcpy(out, raw, n);
        return true;
    case 1:
        for (size_t i = 0; i < bpp && i < n; ++i)
            out[i] = raw[i];
        for (size_t i = bpp; i < n; ++i)
            out[i] = uint8_t(raw[i] + out[i - bpp]);
        return true;
    case 2:
        for (size_t i = 0; i < n; ++i)
            out[i] = uint8_t(raw[i] + prev[i]);
        return true;
    case 3:
        for (size_t i = 0; i < bpp && i < n; ++i)
            out[i] = uint8_t(raw[i] + (prev[i] >> 1));
        for (size_t i = bpp; i < n; ++i)
            out[i] = uint8_t(raw[i] + ((out[i - bpp] + prev[i]) >> 1));
        return true;
    case 4:
#if defined(__SSE2__)
        if (bpp == 4) {
            paethSse2<4>(raw, prev, out, n);
            return true;
        }
        if (bpp == 3) {
            paethSse2<3>(raw, prev, out, n);
            return true;
        }
#endif
        paethScalar(raw, prev, out, n, bpp);
        return true;
    default:
        return false;
    }
}

} // namespace lumivane::detail
