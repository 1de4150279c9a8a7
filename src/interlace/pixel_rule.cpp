#include "interlace/pixel_rule.h"

#include <array>

namespace plivora {

namespace {

using TieWords = std::array<uint32_t, 16384>;

// Evaluates the partial sum of every tie as GreySumExtended does, one
// rounding per operation: the three products once per ink value, C + M once
// per pair, then + Y for the (at most three) Y of each pair that make a tie.
TieWords BuildTieWords() {
  long double cyan[256], magenta[256], yellow[256];
  // x3 + 0.5 and its ulp for every whole part x3 of a partial sum (at most
  // 254): the ulp of a value in [2^p, 2^(p+1)) is 2^(p-63), and 2^(p+1) is
  // the top bit of 2 x3 + 1.
  long double half[256], ulp[256];
  for (uint32_t v = 0; v < 256; ++v) {
    cyan[v] = static_cast<long double>(v) * 0.3L;
    magenta[v] = static_cast<long double>(v) * 0.59L;
    yellow[v] = static_cast<long double>(v) * 0.11L;
    half[v] = static_cast<long double>(v) + 0.5L;
    ulp[v] = static_cast<long double>(std::bit_floor(2 * v + 1)) * 0x1p-64L;
  }
  TieWords words{};
  for (uint32_t c = 0; c < 256; ++c)
    for (uint32_t m = 0; m < 256; ++m) {
      const long double cm = cyan[c] + magenta[m];
      // 300 C + 590 M + 110 Y = 500 (mod 1000) <=> 11 Y = 50 + 70 C + 41 M
      // (mod 100), and 91 * 11 = 1 (mod 100).
      for (uint32_t y = 91 * (50 + 70 * c + 41 * m) % 100; y < 256; y += 100) {
        const uint32_t x3 = (300 * c + 590 * m + 110 * y) / 1000;
        const long double offset = (cm + yellow[y]) - half[x3];  // exact: the two are close
        // No other offset occurs; pixel_rule_check would show one.
        const long double u = ulp[x3];
        const uint32_t code = uint32_t(offset == u) | uint32_t(offset == -u) << 1 | uint32_t(offset == -2 * u) * 3;
        const uint32_t index = c << 10 | m << 2 | y >> 6;
        words[index >> 4] |= code << 2 * (index & 15);
      }
    }
  return words;
}

}  // namespace

GreyRule::GreyRule(bool negativeInput) : tieWords_(DecimalTieWords()), flip_(negativeInput ? 255 : 0) {
  for (uint32_t sum = 0; sum < 511; ++sum) greyOfSum_[sum] = uint8_t(std::min<uint32_t>(sum, 255) ^ flip_);
}

const uint32_t* DecimalTieWords() {
  static const TieWords words = BuildTieWords();  // thread-safe, once
  return words.data();
}

}  // namespace plivora
