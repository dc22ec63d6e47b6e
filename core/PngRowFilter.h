#pragma once
// The per-row work of the PNG encoder: packing opaque pixels and choosing each
// row's filter.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumivane::detail {

// 0xffRRGGBB words to packed RGB.
void packRgb(const uint8_t* line, size_t w, uint8_t* out);

// Filters `cur` (with `prev` the previous unfiltered row, or zeros) into out: the
// filter type byte, then the row filtered by the cheapest of the five filters.
// `scratch` holds five buffers of n bytes.
void filterRow(const uint8_t* cur, const uint8_t* prev, size_t n, int bpp, uint8_t* out,
               std::array<std::vector<uint8_t>, 5>& scratch);

} // namespace lumivane::detail
