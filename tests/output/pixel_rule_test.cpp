#include "output/pixel_rule.h"

#include <random>

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
