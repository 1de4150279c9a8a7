#include "series/cubic_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace plivora {

namespace {

constexpr int kPhases = 1 << kPhaseBits;
constexpr int kWeightBits = 14;

// Per phase: the weights of taps -1 and 0 repeated for the four bytes of a
// pixel, then those of taps 1 and 2: the order the vector path multiplies
// interleaved pixel pairs in.
struct WeightTable {
  alignas(32) int16_t w[kPhases][16];
  WeightTable() {
    for (int b = 0; b < kPhases; ++b) {
      const Real t = Real(b) / kPhases, t2 = t * t, t3 = t2 * t;
      const Real taps[4] = {(-t3 + 2 * t2 - t) / 2, (3 * t3 - 5 * t2 + 2) / 2, (-3 * t3 + 4 * t2 + t) / 2, (t3 - t2) / 2};
      int32_t q[4], sum = 0;
      for (int k = 0; k < 4; ++k) sum += q[k] = int32_t(Round(taps[k] * (1 << kWeightBits)));
      q[t < 0.5L ? 1 : 2] += (1 << kWeightBits) - sum;  // exactly one, on the nearer sample
      for (int i = 0; i < 4; ++i) {
        w[b][2 * i] = int16_t(q[0]);
        w[b][2 * i + 1] = int16_t(q[1]);
        w[b][8 + 2 * i] = int16_t(q[2]);
        w[b][8 + 2 * i + 1] = int16_t(q[3]);
      }
    }
  }
};

const WeightTable& Table() {
  static const WeightTable table;  // thread-safe, once
  return table;
}

uint8_t Clamp(int32_t sum) { return uint8_t(std::clamp((sum + (1 << (kWeightBits - 1))) >> kWeightBits, 0, 255)); }

void FilterPixel(const int16_t* w, const uint8_t* a, const uint8_t* b, const uint8_t* c, const uint8_t* d, uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = Clamp(w[0] * a[i] + w[1] * b[i] + w[8] * c[i] + w[9] * d[i]);
}

void AlongScalar(const uint8_t* row, int64_t lastPixel, FixedPosition start, FixedPosition step, size_t begin,
                 size_t end, uint8_t* out) {
  const WeightTable& table = Table();
  for (size_t x = begin; x < end; ++x) {
    const FixedPosition pos = start + FixedPosition(x) * step;
    const uint8_t* p = row + (std::clamp<int64_t>(TapIndex(pos), -1, lastPixel) - 1) * 4;
    FilterPixel(table.w[PhaseOf(pos)], p, p + 4, p + 8, p + 12, out + x * 4);
  }
}

void DownScalar(const uint8_t* const rows[4], const uint8_t* phases, int phase, size_t begin, size_t end, uint8_t* out) {
  const WeightTable& table = Table();
  for (size_t x = begin; x < end; ++x) {
    const size_t at = x * 4;
    FilterPixel(table.w[phases ? phases[x] : phase], rows[0] + at, rows[1] + at, rows[2] + at, rows[3] + at, out + at);
  }
}

// The whole position in 1/256 pixel of `offset`: the tap index above the
// column (times 256) plus the phase.
int64_t Key(FixedPosition offset) { return (offset + (FixedPosition(1) << (31 - kPhaseBits))) >> (32 - kPhaseBits); }

// How many columns from the one at `offset` keep its key, the offset moving
// `drift` a column; at most `most`.
size_t RunLength(FixedPosition offset, FixedPosition drift, size_t most) {
  if (drift == 0) return most;
  const int64_t key = Key(offset);
  // A first guess from the distance to the key's edge, then corrected.
  const FixedPosition edge = ((drift > 0 ? key + 1 : key) << (32 - kPhaseBits)) - (FixedPosition(1) << (31 - kPhaseBits));
  int64_t n = std::clamp<int64_t>((edge - offset) / drift, 1, int64_t(most));
  while (n > 1 && Key(offset + (n - 1) * drift) != key) --n;
  while (n < int64_t(most) && Key(offset + n * drift) == key) ++n;
  return size_t(n);
}

#if defined(__x86_64__)
// Eight output pixels from their taps' pixels a, b, c, d (tap -1 .. 2, 32
// bytes each). w01[i] and w23[i] hold the weights of pixels i and i + 4 in
// their two halves. Bytes are paired (tap -1 with 0, 1 with 2) for the
// multiply-add of 16-bit pairs.
__attribute__((target("avx2"))) inline void Eight(__m256i a, __m256i b, __m256i c, __m256i d, const __m256i w01[4],
                                                   const __m256i w23[4], uint8_t* out) {
  const __m256i zero = _mm256_setzero_si256(), half = _mm256_set1_epi32(1 << (kWeightBits - 1));
  const __m256i ab[2] = {_mm256_unpacklo_epi8(a, b), _mm256_unpackhi_epi8(a, b)};
  const __m256i cd[2] = {_mm256_unpacklo_epi8(c, d), _mm256_unpackhi_epi8(c, d)};
  __m256i s[4];
  for (int i = 0; i < 4; ++i) {
    const __m256i e = (i & 1) ? _mm256_unpackhi_epi8(ab[i / 2], zero) : _mm256_unpacklo_epi8(ab[i / 2], zero);
    const __m256i f = (i & 1) ? _mm256_unpackhi_epi8(cd[i / 2], zero) : _mm256_unpacklo_epi8(cd[i / 2], zero);
    const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(e, w01[i]), _mm256_madd_epi16(f, w23[i]));
    s[i] = _mm256_srai_epi32(_mm256_add_epi32(sum, half), kWeightBits);
  }
  const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(s[0], s[1]), _mm256_packs_epi32(s[2], s[3]));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
}

__attribute__((target("avx2"))) inline __m256i Load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) inline __m256i Both(const int16_t* low, const int16_t* high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(low))),
                                 _mm_load_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// Columns begin .. end - 1 of one run: tap index X + shift, one phase. At
// least eight columns; the last eight are done again rather than one by one.
__attribute__((target("avx2"))) void AlongRun(const uint8_t* row, int64_t shift, int phase, size_t begin, size_t end,
                                               uint8_t* out) {
  const int16_t* w = Table().w[phase];
  const __m256i w01 = Both(w, w), w23 = Both(w + 8, w + 8);
  const __m256i w01s[4] = {w01, w01, w01, w01}, w23s[4] = {w23, w23, w23, w23};
  for (size_t x = begin;; x += 8) {
    x = std::min(x, end - 8);
    const uint8_t* p = row + (int64_t(x) + shift - 1) * 4;
    Eight(Load(p), Load(p + 4), Load(p + 8), Load(p + 12), w01s, w23s, out + x * 4);
    if (x + 8 == end) break;
  }
}

// The loops below start at every eighth column from begin, and do the
// last eight again rather than one by one. (No lambdas: they would not
// take the functions' instruction set.)
__attribute__((target("avx2"))) void DownRun(const uint8_t* const rows[4], const uint8_t* phases, int phase,
                                              size_t begin, size_t end, uint8_t* out) {
  const WeightTable& table = Table();
  __m256i w01[4], w23[4];
  for (int i = 0; i < 4; ++i) {
    w01[i] = Both(table.w[phase], table.w[phase]);
    w23[i] = Both(table.w[phase] + 8, table.w[phase] + 8);
  }
  for (size_t x = begin;; x += 8) {
    x = std::min(x, end - 8);
    const size_t at = x * 4;
    if (phases)
      for (size_t i = 0; i < 4; ++i) {
        const int16_t* low = table.w[phases[x + i]];
        const int16_t* high = table.w[phases[x + i + 4]];
        w01[i] = Both(low, high);
        w23[i] = Both(low + 8, high + 8);
      }
    Eight(Load(rows[0] + at), Load(rows[1] + at), Load(rows[2] + at), Load(rows[3] + at), w01, w23, out + at);
    if (x + 8 == end) break;
  }
}

void AlongVector(const uint8_t* row, int64_t lastPixel, FixedPosition start, FixedPosition step, size_t begin,
                 size_t end, uint8_t* out) {
  const FixedPosition drift = step - (FixedPosition(1) << 32);
  for (size_t x = begin; x < end;) {
    const FixedPosition offset = start + FixedPosition(x) * drift;  // the position less x
    const size_t n = RunLength(offset, drift, end - x);
    const int64_t key = Key(offset), shift = key >> kPhaseBits;
    // The columns whose tap index needs no holding to the row.
    const size_t first = size_t(std::clamp<int64_t>(-1 - shift, int64_t(x), int64_t(x + n)));
    const size_t last = size_t(std::clamp<int64_t>(lastPixel - shift + 1, int64_t(first), int64_t(x + n)));
    if (last - first >= 8) {
      AlongScalar(row, lastPixel, start, step, x, first, out);
      AlongRun(row, shift, int(key & (kPhases - 1)), first, last, out);
      AlongScalar(row, lastPixel, start, step, last, x + n, out);
    } else {
      AlongScalar(row, lastPixel, start, step, x, x + n, out);
    }
    x += n;
  }
}
#endif

}  // namespace

FixedPosition ToFixed(Real value) { return Round(value * 4294967296.0L); }

FilterPath DefaultFilterPath() {
#if defined(__x86_64__)
  static const bool vector = __builtin_cpu_supports("avx2");
  if (vector) return FilterPath::kVector;
#endif
  return FilterPath::kScalar;
}

void FilterAlong(const uint8_t* row, int64_t lastPixel, FixedPosition start, FixedPosition step, size_t begin,
                 size_t end, uint8_t* out, FilterPath path) {
#if defined(__x86_64__)
  if (path == FilterPath::kVector) return AlongVector(row, lastPixel, start, step, begin, end, out);
#endif
  (void)path;
  AlongScalar(row, lastPixel, start, step, begin, end, out);
}

void FilterDown(const uint8_t* const rows[4], const uint8_t* phases, int phase, size_t begin, size_t end,
                uint8_t* out, FilterPath path) {
#if defined(__x86_64__)
  if (path == FilterPath::kVector && end - begin >= 8) return DownRun(rows, phases, phase, begin, end, out);
#endif
  (void)path;
  DownScalar(rows, phases, phase, begin, end, out);
}

}  // namespace plivora
