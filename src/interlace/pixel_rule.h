// Pixel rules: what a source pixel the column walk chose becomes in the
// plate. The walk (row_composer.h) never learns which rule runs; each rule
// offers one computation in three widths, a pixel, four and eight, that
// write the same bytes.
//
// The grey rule: round(C * 0.3 + M * 0.59 + Y * 0.11 + K), summed left to
// right in extended precision, ties to even, at most 255, in all four
// samples (inverted back for a series of inverted views). The ink rule: the
// pixel as it is.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <variant>

namespace plivora {

// The rounded sum as written, one extended operation at a time: 0 to 510.
inline uint32_t GreySumExtended(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  long double v = static_cast<long double>(c) * 0.3L;
  v = v + static_cast<long double>(m) * 0.59L;
  v = v + static_cast<long double>(y) * 0.11L;
  v = v + static_cast<long double>(k);
  return static_cast<uint32_t>(std::nearbyintl(v));
}

// Exact decimal ties, n = 300 C + 590 M + 110 Y + 1000 K = 1000 X + 500: the
// sum is X + 0.5 exactly, and the representation errors of 0.3, 0.59 and
// 0.11 and the roundings of the partial sums pick the side. Their shape:
//
// - The partial sum s = C * 0.3 + M * 0.59 + Y * 0.11, evaluated as
//   written, ends on its exact value X3 + 0.5 (X3 = X - K) or 1 unit in the
//   last place (ulp) above it, or 1 or 2 ulps below it. Which of the four
//   depends on C, M and Y alone; DecimalTieWords keeps it.
// - Adding K is exact while X + 0.5 stays in the binade [2^p, 2^(p+1)) of
//   X3 + 0.5: the offset survives and picks X + 1 or X. Each binade higher
//   doubles the ulp; an offset of half an ulp or less rounds back to X + 0.5
//   (whose significand is even), which then rounds to the even integer.
//   So an offset of 1 ulp decides only in the binade of X3 + 0.5, one of
//   2 ulps also in the next; an exact partial sum never decides.
//
// bench/pixel_rule_check proves the forms below equal to GreySumExtended
// on all 2^32 inputs.

// The offset codes of every tie, 2 bits for each (C, M, Y / 64) in 16384
// words: given C and M, a tie fixes Y modulo 100 (110 Y = 10 * 11 Y, and 11
// is invertible modulo 100), so each block of 64 Y holds at most one. Built
// on first use in about a millisecond, 64 KiB, never written again: safe to
// read from any thread.
const uint32_t* DecimalTieWords();

// Of a tie's inks: 0 when the partial sum is exact, 1 when it is 1 ulp
// above, 2 when 1 ulp below, 3 when 2 ulps below.
inline uint32_t TieOffsetCode(const uint32_t* tieWords, uint32_t c, uint32_t m, uint32_t y) {
  return tieWords[c << 6 | m >> 2] >> ((m & 3) << 3 | (y >> 6) << 1) & 3;
}

// The rounded sum of tie inks, n = 1000 X + 500 as above.
inline uint32_t GreySumOfTie(const uint32_t* tieWords, uint32_t n, uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  const uint32_t x = n / 1000;
  const uint32_t code = TieOffsetCode(tieWords, c, m, y);
  // How many binades X + 0.5 lies above X3 + 0.5: the top bits of 2X + 1
  // and 2 X3 + 1, both 1 to 1019.
  const int rise = std::bit_width(2 * x + 1) - std::bit_width(2 * (x - k) + 1);
  const int reach = int(code + 1) >> 1;  // binades the offset decides in: 0, 1, 1, 2
  return x + (rise < reach ? uint32_t(code == 1) : x & 1);
}

// The same sums, in integers: n / 1000 is the exact decimal sum, whose
// fraction is a multiple of 0.01. Away from .5 the extended sum (off by far
// less than 0.01) rounds the same way as the exact one; exact ties go by
// the offset table.
inline uint32_t GreySum(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  const uint32_t n = 300u * c + 590u * m + 110u * y + 1000u * k;
  if (n % 1000 == 500) [[unlikely]]
    return GreySumOfTie(DecimalTieWords(), n, c, m, y, k);
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
// four rounded sums GreySum gives, as 32-bit lanes.
//
// n = 300 C + 590 M + 110 Y + 1000 K is exact (pmaddwd on 16-bit lanes);
// n / 1000 in single precision is off by less than 0.0002, while every sum
// that is not a tie lies at least 0.01 from the rounding boundary. A tie
// shows as n - 1000 * round(n / 1000) = +-500 whichever way the float went,
// and goes to GreySumOfTie one lane at a time: SSE2 has no gather.
inline __m128i GreySum4(__m128i px, const uint32_t* tieWords) {
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
  const int ties = _mm_movemask_ps(_mm_castsi128_ps(tie));
  if (!ties) [[likely]]
    return sum;
  alignas(16) uint32_t sums[4], ns[4];
  alignas(16) uint8_t inks[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(sums), sum);
  _mm_store_si128(reinterpret_cast<__m128i*>(ns), n);
  _mm_store_si128(reinterpret_cast<__m128i*>(inks), px);
  for (int lane = 0; lane < 4; ++lane) {
    const uint8_t* p = inks + 4 * lane;
    if (ties & (1 << lane)) sums[lane] = GreySumOfTie(tieWords, ns[lane], p[0], p[1], p[2], p[3]);
  }
  return _mm_load_si128(reinterpret_cast<const __m128i*>(sums));
}

}  // namespace plivora
#endif

#if defined(__x86_64__)
#include <immintrin.h>

namespace plivora {

// Eight pixels at once, on processors with AVX2 (the caller checks): the
// four-lane arithmetic widened, ties settled in the vector as GreySumOfTie
// does, the table words gathered for the tie lanes only.
__attribute__((target("avx2"))) inline __m256i GreySum8(__m256i px, const uint32_t* tieWords) {
  const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi32(1);
  const __m256i weights = _mm256_set_epi16(1000, 110, 590, 300, 1000, 110, 590, 300, 1000, 110, 590, 300, 1000, 110, 590, 300);
  // Per 128-bit half: a holds pixels 0, 1 (4, 5), b pixels 2, 3 (6, 7), two
  // partial sums each; the horizontal add puts n of pixels 0 to 7 in order.
  const __m256i a = _mm256_madd_epi16(_mm256_unpacklo_epi8(px, zero), weights);
  const __m256i b = _mm256_madd_epi16(_mm256_unpackhi_epi8(px, zero), weights);
  const __m256i n = _mm256_hadd_epi32(a, b);
  const __m256 quotient = _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(0.001f)), _mm256_set1_ps(0.5f));
  const __m256i sum = _mm256_cvttps_epi32(quotient);
  const __m256i rest = _mm256_sub_epi32(n, _mm256_madd_epi16(sum, _mm256_set1_epi32(1000)));
  const __m256i tie = _mm256_cmpeq_epi32(_mm256_abs_epi32(rest), _mm256_set1_epi32(500));
  if (_mm256_testz_si256(tie, tie)) [[likely]]
    return sum;
  // On tie lanes: n = 1000 x + 500, whichever way the float went.
  const __m256i x = _mm256_add_epi32(sum, _mm256_srai_epi32(rest, 31));
  const __m256i x3 = _mm256_sub_epi32(x, _mm256_srli_epi32(px, 24));
  // The binades of X + 0.5 and X3 + 0.5: the exponents of 2X + 1 and
  // 2 X3 + 1 (1 to 1019, exact in single precision).
  const __m256i whole = _mm256_add_epi32(_mm256_add_epi32(x, x), one);
  const __m256i partial = _mm256_add_epi32(_mm256_add_epi32(x3, x3), one);
  const __m256i rise = _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(whole)), 23),
                                        _mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(partial)), 23));
  // TieOffsetCode: word C << 6 | M >> 2, bit (M & 3) << 3 | (Y >> 6) << 1.
  const __m256i word = _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(px, _mm256_set1_epi32(0xFF)), 6),
                                       _mm256_and_si256(_mm256_srli_epi32(px, 10), _mm256_set1_epi32(0x3F)));
  const __m256i bit = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(px, 5), _mm256_set1_epi32(0x18)),
                                      _mm256_and_si256(_mm256_srli_epi32(px, 21), _mm256_set1_epi32(0x6)));
  const __m256i words = _mm256_mask_i32gather_epi32(zero, reinterpret_cast<const int*>(tieWords), word, tie, 4);
  const __m256i code = _mm256_and_si256(_mm256_srlv_epi32(words, bit), _mm256_set1_epi32(3));
  const __m256i reach = _mm256_srli_epi32(_mm256_add_epi32(code, one), 1);
  const __m256i decides = _mm256_cmpgt_epi32(reach, rise);
  const __m256i up = _mm256_blendv_epi8(_mm256_and_si256(x, one), _mm256_and_si256(_mm256_cmpeq_epi32(code, one), one), decides);
  return _mm256_blendv_epi8(sum, _mm256_add_epi32(x, up), tie);
}

}  // namespace plivora
#endif

namespace plivora {

// The grey plate's rule. Its four- and eight-pixel forms compute the sums
// in single precision, which only decides the side of values at least 0.01
// from a tie (see GreySum4); exact ties go through the tie table.
class GreyRule {
 public:
  // `negativeInput`: the series holds inverted samples (".gjs"), and its
  // grey is inverted back.
  explicit GreyRule(bool negativeInput);

  // The four output bytes of the pixel whose C, M, Y, K `px` points at, in
  // memory order.
  uint32_t Pixel(const uint8_t* px) const { return greyOfSum_[GreySum(px[0], px[1], px[2], px[3])] * 0x01010101u; }

#if defined(__SSE2__)
  // Four pixels' C, M, Y, K in, their sixteen output bytes out.
  __m128i Four(__m128i px) const {
    const __m128i sums = GreySum4(px, tieWords_);
    // Cap at 255 by saturation, invert for inverted series, spread each
    // grey over its pixel's four bytes.
    const __m128i words = _mm_packs_epi32(sums, sums);
    __m128i grey = _mm_packus_epi16(words, words);
    grey = _mm_xor_si128(grey, _mm_set1_epi8(char(flip_)));
    grey = _mm_unpacklo_epi8(grey, grey);
    return _mm_unpacklo_epi16(grey, grey);
  }
#endif

#if defined(__x86_64__)
  // Eight pixels, on processors with AVX2 (the composer checks).
  __attribute__((target("avx2"))) __m256i Eight(__m256i px) const {
    // Byte 0 of each 32-bit lane into all four of its bytes.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12,
                                            0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    const __m256i grey = _mm256_xor_si256(_mm256_min_epu32(GreySum8(px, tieWords_), _mm256_set1_epi32(255)),
                                          _mm256_set1_epi32(flip_));
    return _mm256_shuffle_epi8(grey, spread);
  }
#endif

 private:
  // The output grey of each rounded sum 0..510: capped at 255, and inverted
  // back for a series of inverted views.
  uint8_t greyOfSum_[511];
  const uint32_t* tieWords_;  // DecimalTieWords: shared, never written
  uint8_t flip_;              // 255 for inverted series, else 0
};

// The rule of colour plates: the picked pixel's four bytes as they are (the
// inks of a CMYK plate, R, G, B and padding of an RGB one), inverted back
// for a series of inverted views.
class InkRule {
 public:
  explicit InkRule(bool negativeInput) : flip_(negativeInput ? 0xFFFFFFFFu : 0) {}

  uint32_t Pixel(const uint8_t* px) const {
    uint32_t pixel;
    std::memcpy(&pixel, px, 4);
    return pixel ^ flip_;
  }
#if defined(__SSE2__)
  __m128i Four(__m128i px) const { return _mm_xor_si128(px, _mm_set1_epi32(int(flip_))); }
#endif
#if defined(__x86_64__)
  __attribute__((target("avx2"))) __m256i Eight(__m256i px) const {
    return _mm256_xor_si256(px, _mm256_set1_epi32(int(flip_)));
  }
#endif

 private:
  uint32_t flip_;  // every bit set for inverted series
};

// The rule a composer applies.
using PixelRule = std::variant<GreyRule, InkRule>;

}  // namespace plivora
