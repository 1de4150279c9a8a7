// Checks Grey (integer form) against GreyExtended (the rule as written) on
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
    total.decimalDiffers += r.decimalDiffers;
    total.decimalDiffersUncapped += r.decimalDiffersUncapped;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("combinations checked: 4294967296 in %.1f s (%u threads)\n", seconds, threads);
  std::printf("integer form vs extended rule: %llu mismatches\n", (unsigned long long)total.mismatches);
  if (total.mismatches)
    std::printf("first mismatch: C %u M %u Y %u K %u\n", total.firstMismatch >> 24, (total.firstMismatch >> 16) & 255,
                (total.firstMismatch >> 8) & 255, total.firstMismatch & 255);
  std::printf("extended rule vs exact decimal rounding: %llu inputs differ (%llu before the cap at 255)\n",
              (unsigned long long)total.decimalDiffers, (unsigned long long)total.decimalDiffersUncapped);
  return total.mismatches == 0 ? 0 : 1;
}
