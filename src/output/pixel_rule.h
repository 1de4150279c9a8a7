// The grey value of one view pixel: round(C * 0.3 + M * 0.59 + Y * 0.11 + K),
// summed left to right in extended precision, ties to even, at most 255.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace plivora {

// The rounded sum as written, one extended operation at a time: 0 to 510.
inline uint32_t GreySumExtended(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  long double v = static_cast<long double>(c) * 0.3L;
  v = v + static_cast<long double>(m) * 0.59L;
  v = v + static_cast<long double>(y) * 0.11L;
  v = v + static_cast<long double>(k);
  return static_cast<uint32_t>(std::nearbyintl(v));
}

// The same sums, in integers: n / 1000 is the exact decimal sum, whose
// fraction is a multiple of 0.01. Away from .5 the extended sum (off by far
// less than 0.01) rounds the same way as the exact one; on an exact tie the
// extended evaluation decides, because its representation error picks the
// side. bench/pixel_rule_check proves the two equal on all 2^32 inputs.
inline uint32_t GreySum(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  const uint32_t n = 300u * c + 590u * m + 110u * y + 1000u * k;
  if (n % 1000 == 500) [[unlikely]]
    return GreySumExtended(c, m, y, k);
  return (n + 500) / 1000;
}

inline uint8_t GreyExtended(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  return static_cast<uint8_t>(std::min<uint32_t>(GreySumExtended(c, m, y, k), 255));
}

inline uint8_t Grey(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  return static_cast<uint8_t>(std::min<uint32_t>(GreySum(c, m, y, k), 255));
}

}  // namespace plivora

#if defined(__SSE2__)
#include <emmintrin.h>

namespace plivora {

// Four pixels at once: px holds four C, M, Y, K byte quadruples. Returns the
// four rounded sums GreySum gives, as 32-bit lanes, with the lanes that are
// exact decimal ties left to the caller: bit k of *ties is set when lane k
// must come from GreySumExtended instead.
//
// n = 300 C + 590 M + 110 Y + 1000 K is exact (pmaddwd on 16-bit lanes);
// n / 1000 in single precision is off by less than 0.0002, while every sum
// that is not a tie lies at least 0.01 from the rounding boundary. A tie
// shows as n - 1000 * round(n / 1000) = +-500 whichever way the float went.
inline __m128i GreySum4(__m128i px, int* ties) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i weights = _mm_set_epi16(1000, 110, 590, 300, 1000, 110, 590, 300);
  const __m128i a = _mm_madd_epi16(_mm_unpacklo_epi8(px, zero), weights);  // pixels 0, 1: two partial sums each
  const __m128i b = _mm_madd_epi16(_mm_unpackhi_epi8(px, zero), weights);  // pixels 2, 3
  const __m128 af = _mm_castsi128_ps(a), bf = _mm_castsi128_ps(b);
  const __m128i n = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(2, 0, 2, 0))),
                                  _mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(3, 1, 3, 1))));
  const __m128 quotient = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(n), _mm_set1_ps(0.001f)), _mm_set1_ps(0.5f));
  const __m128i sum = _mm_cvttps_epi32(quotient);
  const __m128i rest = _mm_sub_epi32(n, _mm_madd_epi16(sum, _mm_set1_epi32(1000)));
  const __m128i tie = _mm_or_si128(_mm_cmpeq_epi32(rest, _mm_set1_epi32(500)), _mm_cmpeq_epi32(rest, _mm_set1_epi32(-500)));
  *ties = _mm_movemask_ps(_mm_castsi128_ps(tie));
  return sum;
}

}  // namespace plivora
#endif
