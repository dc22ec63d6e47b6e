#pragma once
// Reverses PNG's per-row filters (None, Sub, Up, Average, Paeth) of 8-bit samples.
#include <cstddef>
#include <cstdint>

namespace lumivane::detail {

// Unfilters one row of n bytes with `bpp` bytes per pixel (1 to 8) into out. `prev` is
// the previous unfiltered row (zeros for the first row); the three rows must not
// overlap. False for an unknown filter type.
bool unfilterRow(uint8_t filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n, int bpp);

} // namespace lumivane::detail
