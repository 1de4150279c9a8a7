// The grey value of one view pixel: round(C * 0.3 + M * 0.59 + Y * 0.11 + K),
// summed left to right in extended precision, ties to even, at most 255.
#pragma once

#include <cmath>
#include <cstdint>

namespace plivora {

// The rule as written, one extended operation at a time.
inline uint8_t GreyExtended(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  long double v = static_cast<long double>(c) * 0.3L;
  v = v + static_cast<long double>(m) * 0.59L;
  v = v + static_cast<long double>(y) * 0.11L;
  v = v + static_cast<long double>(k);
  const long double g = std::nearbyintl(v);
  return g > 255 ? 255 : static_cast<uint8_t>(g);
}

// The same values, in integers: n / 1000 is the exact decimal sum, whose
// fraction is a multiple of 0.01. Away from .5 the extended sum (off by far
// less than 0.01) rounds the same way as the exact one; on an exact tie the
// extended evaluation decides, because its representation error picks the
// side. bench/pixel_rule_check proves the two equal on all 2^32 inputs.
inline uint8_t Grey(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  const uint32_t n = 300u * c + 590u * m + 110u * y + 1000u * k;
  if (n % 1000 == 500) [[unlikely]]
    return GreyExtended(c, m, y, k);
  const uint32_t g = (n + 500) / 1000;
  return g > 255 ? 255 : static_cast<uint8_t>(g);
}

}  // namespace plivora
