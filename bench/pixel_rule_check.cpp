// Checks every fast form of the grey rule against the rule as written, in
// extended precision, on every one of the 2^32 (C, M, Y, K) combinations:
// GreySum (integers, with the tie table: the row composer's scalar path),
// GreySum4 (four lanes at a time: its SSE2 path) and GreySum8 (eight lanes:
// its AVX2 path, when this processor runs it), all compared as sums before
// the cap at 255. Also counts the inputs on which the extended rule differs from
// exact decimal rounding.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "interlace/pixel_rule.h"

namespace {

// Mismatches of one form against GreySumExtended.
struct Form {
  uint64_t checked = 0;
  uint64_t mismatches = 0;
  uint32_t first = 0;  // C << 24 | M << 16 | Y << 8 | K of the first mismatch

  void Count(uint32_t c, uint32_t m, uint32_t y, uint32_t k, uint32_t got, uint32_t expected) {
    ++checked;
    if (got != expected && mismatches++ == 0) first = c << 24 | m << 16 | y << 8 | k;
  }
  void Add(const Form& other) {
    if (other.mismatches && !mismatches) first = other.first;
    checked += other.checked;
    mismatches += other.mismatches;
  }
};

enum { kInteger, kFourLanes, kEightLanes, kForms };
const char* const kFormNames[kForms] = {"integer form (scalar path)", "four-lane form (SSE2 path)",
                                        "eight-lane form (AVX2 path)"};

struct Counts {
  Form forms[kForms];
  uint64_t ties = 0;
  uint64_t decimalDiffers = 0;
  uint64_t decimalDiffersUncapped = 0;
};

// Decimal rounding with ties to even on the exact sum n / 1000.
uint32_t GreySumDecimal(uint32_t c, uint32_t m, uint32_t y, uint32_t k) {
  const uint32_t n = 300 * c + 590 * m + 110 * y + 1000 * k;
  uint32_t g = n / 1000;
  const uint32_t rest = n % 1000;
  if (rest > 500 || (rest == 500 && (g & 1))) ++g;
  return g;
}

#if defined(__SSE2__)
// GreySum4 on K = k .. k + 3 of one C, M, Y.
void CheckFourLanes(uint32_t c, uint32_t m, uint32_t y, uint32_t k, const uint32_t* expected, const uint32_t* tieWords,
                    Form& form) {
  const __m128i px = _mm_set_epi8(char(k + 3), char(y), char(m), char(c), char(k + 2), char(y), char(m), char(c),
                                  char(k + 1), char(y), char(m), char(c), char(k), char(y), char(m), char(c));
  alignas(16) uint32_t sums[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(sums), plivora::GreySum4(px, tieWords));
  for (uint32_t lane = 0; lane < 4; ++lane) form.Count(c, m, y, k + lane, sums[lane], expected[k + lane]);
}
#endif

#if defined(__x86_64__)
// GreySum8 on K = 0 .. 255 of one C, M, Y, eight at a time.
__attribute__((target("avx2"))) void CheckEightLanes(uint32_t c, uint32_t m, uint32_t y, const uint32_t* expected,
                                                     const uint32_t* tieWords, Form& form) {
  const __m256i cmy = _mm256_set1_epi32(int(c | m << 8 | y << 16));
  for (uint32_t k = 0; k < 256; k += 8) {
    const __m256i ks = _mm256_add_epi32(_mm256_set1_epi32(int(k)), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    alignas(32) uint32_t sums[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), plivora::GreySum8(_mm256_or_si256(cmy, _mm256_slli_epi32(ks, 24)), tieWords));
    for (uint32_t lane = 0; lane < 8; ++lane) form.Count(c, m, y, k + lane, sums[lane], expected[k + lane]);
  }
}
#endif

bool RunsAvx2() {
#if defined(__x86_64__)
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

Counts CheckCyan(uint32_t firstC, uint32_t step) {
  Counts counts;
  const uint32_t* tieWords = plivora::DecimalTieWords();
  const bool avx2 = RunsAvx2();
  uint32_t expected[256];
  for (uint32_t c = firstC; c < 256; c += step)
    for (uint32_t m = 0; m < 256; ++m)
      for (uint32_t y = 0; y < 256; ++y) {
        for (uint32_t k = 0; k < 256; ++k) {
          expected[k] = plivora::GreySumExtended(uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k));
          counts.forms[kInteger].Count(c, m, y, k, plivora::GreySum(uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k)),
                                       expected[k]);
          const uint32_t decimal = GreySumDecimal(c, m, y, k);
          counts.decimalDiffers += std::min<uint32_t>(decimal, 255) != std::min<uint32_t>(expected[k], 255);
          counts.decimalDiffersUncapped += decimal != expected[k];  // only ever on exact ties
        }
        if ((300 * c + 590 * m + 110 * y) % 1000 == 500) counts.ties += 256;
#if defined(__SSE2__)
        for (uint32_t k = 0; k < 256; k += 4) CheckFourLanes(c, m, y, k, expected, tieWords, counts.forms[kFourLanes]);
#endif
#if defined(__x86_64__)
        if (avx2) CheckEightLanes(c, m, y, expected, tieWords, counts.forms[kEightLanes]);
#endif
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
    for (int f = 0; f < kForms; ++f) total.forms[f].Add(r.forms[f]);
    total.ties += r.ties;
    total.decimalDiffers += r.decimalDiffers;
    total.decimalDiffersUncapped += r.decimalDiffersUncapped;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("combinations: 4294967296 in %.1f s (%u threads), %llu of them exact decimal ties\n", seconds, threads,
              (unsigned long long)total.ties);
  bool ok = true;
  for (int f = 0; f < kForms; ++f) {
    const Form& form = total.forms[f];
    if (f == kEightLanes && !RunsAvx2()) {
      std::printf("%s: not checked, this processor cannot run AVX2\n", kFormNames[f]);
      continue;
    }
    std::printf("%s vs extended rule (sums before the cap): %llu checked, %llu mismatches\n", kFormNames[f],
                (unsigned long long)form.checked, (unsigned long long)form.mismatches);
    if (form.mismatches)
      std::printf("  first mismatch: C %u M %u Y %u K %u\n", form.first >> 24, (form.first >> 16) & 255,
                  (form.first >> 8) & 255, form.first & 255);
    ok = ok && form.mismatches == 0 && form.checked == (1ull << 32);
  }
  std::printf("extended rule vs exact decimal rounding: %llu inputs differ (%llu before the cap at 255)\n",
              (unsigned long long)total.decimalDiffers, (unsigned long long)total.decimalDiffersUncapped);
  return ok ? 0 : 1;
}
