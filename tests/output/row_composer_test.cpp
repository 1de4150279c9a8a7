#include "output/row_composer.h"

#include <cstring>
#include <random>

#include "output/pixel_rule.h"

#include "support/test_support.h"

namespace plivora {
namespace {

int ViewOf(const std::vector<uint8_t>& out, size_t column) { return out[4 * column] / 10 - 1; }

ExportGeometry OnePixelViews(int64_t outputWidth) {
  ExportGeometry g;
  g.outputWidth = outputWidth;
  g.minViewWidth = 1;
  g.columnStepE9 = 0;
  return g;
}

// Views 0, 1 and 2 of one pixel, uniformly K = 10, 20 and 30, so that an
// output pixel's grey names the view it came from.
std::vector<uint8_t> ThreeViews(const RowComposer& composer) {
  std::vector<uint8_t> set(composer.RowSetBytes());
  for (size_t v = 0; v < 3; ++v) set[composer.ViewOffset(v) + 3] = uint8_t(10 * (v + 1));
  return set;
}

void ComposeAll(RowComposer& composer, const std::vector<uint8_t>& set, std::vector<uint8_t>& out) {
  composer.Compose(set.data(), out.data(), 0, composer.Width());
}

TEST(RowComposer, FractionalColumnTakesTheNextViewWhereItsSumReaches10000) {
  const ColumnViewMap map{{0, 1}, {2267}};  // column 1 of the worked example lies 2267 along
  RowComposer composer(OnePixelViews(1), map, {1, 1, 1}, false);
  const std::vector<uint8_t> set = ThreeViews(composer);
  std::vector<uint8_t> out(4);
  std::vector<int> nextViewRows;
  for (int r = 0; r < 20; ++r) {
    ComposeAll(composer, set, out);
    if (ViewOf(out, 0) == 1) nextViewRows.push_back(r);
  }
  EXPECT_EQ(nextViewRows, (std::vector<int>{4, 8, 13, 17}));
}

TEST(RowComposer, HalfFractionAlternatesAndFullFractionAlwaysTakesTheNextView) {
  const ColumnViewMap map{{0, 1, 2}, {5000, 10000}};
  RowComposer composer(OnePixelViews(2), map, {1, 1, 1}, false);
  const std::vector<uint8_t> set = ThreeViews(composer);
  std::vector<uint8_t> out(8);
  std::vector<int> column0, column1;
  for (int r = 0; r < 4; ++r) {
    ComposeAll(composer, set, out);
    column0.push_back(ViewOf(out, 0));
    column1.push_back(ViewOf(out, 1));
  }
  EXPECT_EQ(column0, (std::vector<int>{0, 1, 0, 1}));
  EXPECT_EQ(column1, (std::vector<int>{2, 2, 2, 2}));
}

// Eight columns: the first four go through the four-at-a-time path, the rest
// one at a time; the inks include exact decimal ties in both.
TEST(RowComposer, WritesOneGreyInAllFourSamplesAndInvertsForNegativeSeries) {
  const std::vector<std::vector<uint8_t>> inks = {{3, 24, 4, 0},      {0, 57, 217, 0},  {10, 20, 30, 40},
                                                  {255, 255, 255, 255}, {200, 100, 50, 0}, {9, 204, 4, 0},
                                                  {0, 0, 0, 0},        {0, 0, 0, 200}};
  const std::vector<uint8_t> greys = {15, 57, 58, 255, 124, 123, 0, 200};
  ExportGeometry g;
  g.outputWidth = 8;
  g.minViewWidth = 8;
  g.columnStepE9 = 1000000000;
  const ColumnViewMap map{std::vector<int32_t>(9, 0), std::vector<int32_t>(8, 0)};
  std::vector<uint8_t> set;
  for (const auto& ink : inks) set.insert(set.end(), ink.begin(), ink.end());
  for (bool negative : {false, true}) {
    RowComposer composer(g, map, {8}, negative);
    std::vector<uint8_t> out(32);
    ComposeAll(composer, set, out);
    for (size_t i = 0; i < 8; ++i)
      EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4 * i, out.begin() + 4 * i + 4),
                std::vector<uint8_t>(4, negative ? 255 - greys[i] : greys[i]))
          << "column " << i << (negative ? " inverted" : "");
  }
}

TEST(RowComposer, EveryPathAgreesWithThePixelRuleOnRandomInks) {
  const size_t width = 4099;  // four at a time, and a remainder
  ExportGeometry g;
  g.outputWidth = int64_t(width);
  g.minViewWidth = uint32_t(width);
  g.columnStepE9 = 1000000000;
  const ColumnViewMap map{std::vector<int32_t>(width + 1, 0), std::vector<int32_t>(width, 0)};
  std::mt19937 random(7);
  std::vector<uint8_t> set(width * 4);
  for (auto& b : set) b = uint8_t(random());
  for (int k = 0; k < 40; ++k) std::memcpy(&set[4 * (random() % width)], "\x03\x18\x04\x00", 4);  // ties
  RowComposer composer(g, map, {uint32_t(width)}, false);
  std::vector<uint8_t> out(width * 4);
  ComposeAll(composer, set, out);
  for (size_t i = 0; i < width; ++i)
    ASSERT_EQ(out[4 * i + 3], GreyExtended(set[4 * i], set[4 * i + 1], set[4 * i + 2], set[4 * i + 3])) << i;
}

TEST(RowComposer, WiderViewsKeepTheirOwnRowLength) {
  ExportGeometry g;
  g.outputWidth = 2;
  g.minViewWidth = 2;
  g.columnStepE9 = 1000000000;
  const ColumnViewMap map{{0, 1, 1}, {0, 0}};
  RowComposer composer(g, map, {5, 2}, false);
  std::vector<uint8_t> set(composer.RowSetBytes());
  ASSERT_EQ(set.size(), 28u);
  ASSERT_EQ(composer.ViewOffset(1), 20u);
  for (uint8_t k : {1, 2, 3, 4, 5}) set[4 * (k - 1) + 3] = k;
  set[20 + 3] = 7;
  set[24 + 3] = 8;
  std::vector<uint8_t> out(8);
  ComposeAll(composer, set, out);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 1, 1, 8, 8, 8, 8}));
}

}  // namespace
}  // namespace plivora
