// Checks Grey (integer form) and GreySum4 (four lanes at a time, as the row
// composer runs it) against the rule as written, in extended precision, on
// every one of the 2^32 (C, M, Y, K) combinations, and counts the inputs on
// which the extended rule differs from exact decimal rounding.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "output/pixel_rule.h"

namespace {

struct Counts {
  uint64_t mismatches = 0;
  uint64_t decimalDiffers = 0;
  uint64_t decimalDiffersUncapped = 0;
  uint32_t firstMismatch = 0;
  uint64_t laneMismatches = 0;  // the four-lane form against the extended sum
  uint32_t firstLaneMismatch = 0;
};

// Decimal rounding with ties to even on the exact sum n / 1000.
uint8_t GreyDecimal(uint32_t c, uint32_t m, uint32_t y, uint32_t k) {
  const uint32_t n = 300 * c + 590 * m + 110 * y + 1000 * k;
  uint32_t g = n / 1000;
  const uint32_t rest = n % 1000;
  if (rest > 500 || (rest == 500 && (g & 1))) ++g;
  return uint8_t(std::min<uint32_t>(g, 255));
}

Counts CheckCyan(uint32_t firstC, uint32_t step) {
  Counts counts;
  for (uint32_t c = firstC; c < 256; c += step)
    for (uint32_t m = 0; m < 256; ++m)
      for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t k = 0; k < 256; ++k) {
#if defined(__SSE2__)
          if (k % 4 == 0) {  // the four-lane form, on k .. k + 3
            const __m128i px = _mm_set_epi8(char(k + 3), char(y), char(m), char(c), char(k + 2), char(y), char(m),
                                            char(c), char(k + 1), char(y), char(m), char(c), char(k), char(y),
                                            char(m), char(c));
            int ties = 0;
            alignas(16) uint32_t sums[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(sums), plivora::GreySum4(px, &ties));
            for (uint32_t lane = 0; lane < 4; ++lane) {
              const uint32_t expected = plivora::GreySumExtended(uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k + lane));
              const uint32_t got = (ties >> lane) & 1 ? expected : sums[lane];
              if (got != expected && counts.laneMismatches++ == 0) counts.firstLaneMismatch = c << 24 | m << 16 | y << 8 | (k + lane);
            }
          }
#endif
          const uint8_t extended = plivora::GreyExtended(uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k));
          if (plivora::Grey(uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k)) != extended && counts.mismatches++ == 0)
            counts.firstMismatch = c << 24 | m << 16 | y << 8 | k;
          counts.decimalDiffers += GreyDecimal(c, m, y, k) != extended;
          // Before the cap at 255 the two can differ only on exact ties.
          const uint32_t n = 300 * c + 590 * m + 110 * y + 1000 * k;
          if (n % 1000 == 500) {
            long double v = (long double)c * 0.3L;
            v = v + (long double)m * 0.59L;
            v = v + (long double)y * 0.11L;
            v = v + (long double)k;
            const uint32_t down = n / 1000, even = (down & 1) ? down + 1 : down;
            counts.decimalDiffersUncapped += uint32_t(std::nearbyintl(v)) != even;
          }
        }
  return counts;
}

}  // namespace

int main() {
  const auto start = std::chrono::steady_clock::now();
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<Counts> results(threads);
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back([&, t] { results[t] = CheckCyan(t, threads); });
  for (auto& w : workers) w.join();
  Counts total;
  for (const Counts& r : results) {
    if (r.mismatches && !total.mismatches) total.firstMismatch = r.firstMismatch;
    total.mismatches += r.mismatches;
    if (r.laneMismatches && !total.laneMismatches) total.firstLaneMismatch = r.firstLaneMismatch;
    total.laneMismatches += r.laneMismatches;
    total.decimalDiffers += r.decimalDiffers;
    total.decimalDiffersUncapped += r.decimalDiffersUncapped;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("combinations checked: 4294967296 in %.1f s (%u threads)\n", seconds, threads);
  std::printf("integer form vs extended rule: %llu mismatches\n", (unsigned long long)total.mismatches);
  if (total.mismatches)
    std::printf("first mismatch: C %u M %u Y %u K %u\n", total.firstMismatch >> 24, (total.firstMismatch >> 16) & 255,
                (total.firstMismatch >> 8) & 255, total.firstMismatch & 255);
  std::printf("four-lane form vs extended rule (sums before the cap): %llu mismatches\n",
              (unsigned long long)total.laneMismatches);
  if (total.laneMismatches)
    std::printf("first lane mismatch: C %u M %u Y %u K %u\n", total.firstLaneMismatch >> 24,
                (total.firstLaneMismatch >> 16) & 255, (total.firstLaneMismatch >> 8) & 255, total.firstLaneMismatch & 255);
  std::printf("extended rule vs exact decimal rounding: %llu inputs differ (%llu before the cap at 255)\n",
              (unsigned long long)total.decimalDiffers, (unsigned long long)total.decimalDiffersUncapped);
  return total.mismatches == 0 && total.laneMismatches == 0 ? 0 : 1;
}
