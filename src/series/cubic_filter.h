// The filter aligned views are resampled with: the cubic convolution of
// Catmull and Rom (four taps, a = -1/2), one direction at a time.
//
// Four taps keep a turned view's band of rows small and the cost per pixel
// low; the filter passes through the samples, so a whole-pixel position
// gives the pixel back unchanged, and it keeps edges sharper than a B-spline
// without the wider ringing of a six-tap windowed sinc.
//
// Pixels are 4 bytes; every byte is filtered alike. Positions are fixed
// point, 32 fraction bits, and are taken to the nearest 1/256 of a pixel: a
// tap index (the pixel that takes tap 0) and a phase (0 .. 255), whose
// weights (14 fraction bits, summing to exactly 1 << 14) come from one
// table. Results are rounded half up and held to 0 .. 255. The scalar and
// the vector paths give the same bytes; the vector path works on runs of
// pixels with one phase, eight at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/numbers.h"

namespace plivora {

using FixedPosition = int64_t;  // a position in pixels times 2^32
// Round(value x 2^32); raises for values past 2^31.
FixedPosition ToFixed(Real value);

constexpr int kPhaseBits = 8;
inline int64_t TapIndex(FixedPosition p) { return (p + (FixedPosition(1) << (31 - kPhaseBits))) >> 32; }
inline int PhaseOf(FixedPosition p) {
  return int(((p + (FixedPosition(1) << (31 - kPhaseBits))) >> (32 - kPhaseBits)) & ((1 << kPhaseBits) - 1));
}

enum class FilterPath { kScalar, kVector };
// The vector path when this processor has AVX2, else the scalar one.
FilterPath DefaultFilterPath();

// Along a row: out pixel X (begin <= X < end) is the filter of `row` at
// start + X * step, the tap index held to -1 .. lastPixel (so the taps reach
// pixels -2 .. lastPixel + 2). `row` points at pixel 0 of a row readable
// from pixel -2 to lastPixel + 2 (the edges repeated into that margin).
void FilterAlong(const uint8_t* row, int64_t lastPixel, FixedPosition start, FixedPosition step, size_t begin,
                 size_t end, uint8_t* out, FilterPath path);

// Down the columns: out pixel X (begin <= X < end) is the filter of the
// four rows rows[0..3] (taps -1 .. 2) at X, with the weights of phase
// phases[X], or of `phase` for every column when phases is null.
void FilterDown(const uint8_t* const rows[4], const uint8_t* phases, int phase, size_t begin, size_t end,
                uint8_t* out, FilterPath path);

}  // namespace plivora
