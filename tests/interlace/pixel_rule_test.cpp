#include "interlace/pixel_rule.h"
#include "interlace/row_composer.h"

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "support/test_support.h"

namespace plivora {
namespace {

TEST(PixelRule, WeightsTheInksAndCapsAt255) {
  EXPECT_EQ(Grey(10, 20, 30, 40), 58);
  EXPECT_EQ(Grey(255, 255, 255, 255), 255);  // 510 before the cap
  EXPECT_EQ(Grey(0, 0, 0, 0), 0);
  EXPECT_EQ(Grey(0, 0, 0, 200), 200);
}

// Exact decimal ties are settled by the extended evaluation, whose
// representation error of 0.3, 0.59 and 0.11 picks the side.
TEST(PixelRule, SettlesDecimalTiesLikeTheExtendedSum) {
  struct Case { uint8_t c, m, y, k, grey; };
  for (const Case& t : {Case{200, 100, 50, 0, 124}, Case{3, 24, 4, 0, 15}, Case{0, 57, 217, 0, 57},
                        Case{9, 204, 4, 0, 123}}) {
    EXPECT_EQ(Grey(t.c, t.m, t.y, t.k), t.grey) << int(t.c) << "," << int(t.m) << "," << int(t.y);
    EXPECT_EQ(GreyExtended(t.c, t.m, t.y, t.k), t.grey);
  }
}

// Every (C, M, Y) whose partial sum makes an exact decimal tie, with the K
// where the table's answer can change: 0 and 255, and both sides of every
// binade edge of X + 0.5 above X3 + 0.5 (X = 2^q - 1 and X = 2^q). This is
// where an offset of 1 ulp stops deciding and one of 2 ulps (C 2, M 75,
// Y 115 and 48 others) still decides one binade higher.
struct TieSweep {
  std::vector<std::array<uint8_t, 4>> inks;
  std::vector<uint32_t> sums;  // GreySumExtended of each
  size_t triples = 0;
};

const TieSweep& Ties() {
  static const TieSweep sweep = [] {
    TieSweep t;
    for (uint32_t c = 0; c < 256; ++c)
      for (uint32_t m = 0; m < 256; ++m)
        for (uint32_t y = 0; y < 256; ++y) {
          const uint32_t n3 = 300 * c + 590 * m + 110 * y;
          if (n3 % 1000 != 500) continue;
          ++t.triples;
          std::vector<uint32_t> ks = {0, 255};
          for (uint32_t edge = 1; edge <= 512; edge *= 2)
            for (uint32_t x : {edge - 1, edge})
              if (x >= n3 / 1000 && x - n3 / 1000 < 256) ks.push_back(x - n3 / 1000);
          for (uint32_t k : ks) {
            t.inks.push_back({uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k)});
            t.sums.push_back(GreySumExtended(uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k)));
          }
        }
    return t;
  }();
  return sweep;
}

TEST(PixelRule, IntegerFormSettlesEveryTieLikeTheExtendedSum) {
  const TieSweep& t = Ties();
  ASSERT_EQ(t.triples, 167836u);
  for (size_t i = 0; i < t.inks.size(); ++i) {
    const auto& [c, m, y, k] = t.inks[i];
    ASSERT_EQ(GreySum(c, m, y, k), t.sums[i]) << int(c) << "," << int(m) << "," << int(y) << "," << int(k);
  }
}

#if defined(__SSE2__)
TEST(PixelRule, FourLaneFormSettlesEveryTieLikeTheExtendedSum) {
  const TieSweep& t = Ties();
  const uint32_t* tieWords = DecimalTieWords();
  for (size_t i = 0; i < t.inks.size(); i += 4) {
    alignas(16) uint8_t inks[16] = {};  // zero inks past the end: sum 0
    alignas(16) uint32_t sums[4];
    for (size_t lane = 0; lane < 4 && i + lane < t.inks.size(); ++lane) std::memcpy(inks + 4 * lane, t.inks[i + lane].data(), 4);
    _mm_store_si128(reinterpret_cast<__m128i*>(sums), GreySum4(_mm_load_si128(reinterpret_cast<const __m128i*>(inks)), tieWords));
    for (size_t lane = 0; lane < 4 && i + lane < t.inks.size(); ++lane)
      ASSERT_EQ(sums[lane], t.sums[i + lane]) << int(inks[4 * lane]) << "," << int(inks[4 * lane + 1]) << ","
                                             << int(inks[4 * lane + 2]) << "," << int(inks[4 * lane + 3]);
  }
}
#endif

#if defined(__x86_64__)
// The first sweep entry GreySum8 gets wrong, or the sweep's size.
__attribute__((target("avx2"))) size_t FirstEightLaneMismatch(const TieSweep& t) {
  const uint32_t* tieWords = DecimalTieWords();
  for (size_t i = 0; i < t.inks.size(); i += 8) {
    alignas(32) uint8_t inks[32] = {};  // zero inks past the end: sum 0
    alignas(32) uint32_t sums[8];
    for (size_t lane = 0; lane < 8 && i + lane < t.inks.size(); ++lane) std::memcpy(inks + 4 * lane, t.inks[i + lane].data(), 4);
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), GreySum8(_mm256_load_si256(reinterpret_cast<const __m256i*>(inks)), tieWords));
    for (size_t lane = 0; lane < 8 && i + lane < t.inks.size(); ++lane)
      if (sums[lane] != t.sums[i + lane]) return i + lane;
  }
  return t.inks.size();
}

TEST(PixelRule, EightLaneFormSettlesEveryTieLikeTheExtendedSum) {
  if (!ProcessorRuns(ComposerPath::kAvx2)) GTEST_SKIP() << "this processor cannot run AVX2";
  const TieSweep& t = Ties();
  const size_t i = FirstEightLaneMismatch(t);
  ASSERT_EQ(i, t.inks.size()) << int(t.inks[i][0]) << "," << int(t.inks[i][1]) << "," << int(t.inks[i][2]) << ","
                              << int(t.inks[i][3]) << " should give " << t.sums[i];
}
#endif

TEST(PixelRule, IntegerFormMatchesTheExtendedSumOnRandomInks) {
  std::mt19937 random(12345);
  for (int i = 0; i < 2000000; ++i) {
    const uint32_t v = random();
    const uint8_t c = v, m = v >> 8, y = v >> 16, k = v >> 24;
    ASSERT_EQ(Grey(c, m, y, k), GreyExtended(c, m, y, k)) << int(c) << "," << int(m) << "," << int(y) << "," << int(k);
  }
}

}  // namespace
}  // namespace plivora
