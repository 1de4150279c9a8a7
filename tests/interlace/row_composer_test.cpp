#include "interlace/row_composer.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>

#include "interlace/pixel_rule.h"

#include "support/test_support.h"

namespace plivora {

void PrintTo(ComposerPath path, std::ostream* os) { *os << ComposerPathName(path); }

namespace {

// Every test runs on every composer path; a path this processor cannot run
// is skipped.
class RowComposerPath : public ::testing::TestWithParam<ComposerPath> {
 protected:
  void SetUp() override {
    if (!ProcessorRuns(GetParam()))
      GTEST_SKIP() << "this processor cannot run the " << ComposerPathName(GetParam()) << " composer path";
  }
  RowComposer Make(const ExportGeometry& g, const ColumnViewMap& map, const std::vector<uint32_t>& viewWidths,
                   bool negative = false) {
    return RowComposer(g, map, viewWidths, GreyRule(negative), GetParam());
  }
};

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

TEST_P(RowComposerPath, FractionalColumnTakesTheNextViewWhereItsSumReaches10000) {
  const ColumnViewMap map{{0, 1}, {2267}};  // column 1 of the worked example lies 2267 along
  RowComposer composer = Make(OnePixelViews(1), map, {1, 1, 1}, false);
  const std::vector<uint8_t> set = ThreeViews(composer);
  std::vector<uint8_t> out(4);
  std::vector<int> nextViewRows;
  for (int r = 0; r < 20; ++r) {
    ComposeAll(composer, set, out);
    if (ViewOf(out, 0) == 1) nextViewRows.push_back(r);
  }
  EXPECT_EQ(nextViewRows, (std::vector<int>{4, 8, 13, 17}));
}

TEST_P(RowComposerPath, HalfFractionAlternatesAndFullFractionAlwaysTakesTheNextView) {
  const ColumnViewMap map{{0, 1, 2}, {5000, 10000}};
  RowComposer composer = Make(OnePixelViews(2), map, {1, 1, 1}, false);
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

// Eight columns, which the vector paths take in one or two steps; the inks
// include exact decimal ties.
TEST_P(RowComposerPath, WritesOneGreyInAllFourSamplesAndInvertsForNegativeSeries) {
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
    RowComposer composer = Make(g, map, {8}, negative);
    std::vector<uint8_t> out(32);
    ComposeAll(composer, set, out);
    for (size_t i = 0; i < 8; ++i)
      EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4 * i, out.begin() + 4 * i + 4),
                std::vector<uint8_t>(4, negative ? 255 - greys[i] : greys[i]))
          << "column " << i << (negative ? " inverted" : "");
  }
}

TEST_P(RowComposerPath, EveryPathAgreesWithThePixelRuleOnRandomInks) {
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
  RowComposer composer = Make(g, map, {uint32_t(width)}, false);
  std::vector<uint8_t> out(width * 4);
  ComposeAll(composer, set, out);
  for (size_t i = 0; i < width; ++i)
    ASSERT_EQ(out[4 * i + 3], GreyExtended(set[4 * i], set[4 * i + 1], set[4 * i + 2], set[4 * i + 3])) << i;
}

TEST_P(RowComposerPath, WiderViewsKeepTheirOwnRowLength) {
  ExportGeometry g;
  g.outputWidth = 2;
  g.minViewWidth = 2;
  g.columnStepE9 = 1000000000;
  const ColumnViewMap map{{0, 1, 1}, {0, 0}};
  RowComposer composer = Make(g, map, {5, 2}, false);
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

// Inks of an exact decimal tie (300 C + 590 M + 110 Y + 1000 K ends in 500),
// with random C, M and K: the Y that makes one.
std::array<uint8_t, 4> RandomTie(std::mt19937& random) {
  for (;;) {
    const uint32_t c = random() % 256, m = random() % 256, k = random() % 256;
    std::vector<uint8_t> ys;
    for (uint32_t y = 0; y < 256; ++y)
      if ((300 * c + 590 * m + 110 * y) % 1000 == 500) ys.push_back(uint8_t(y));
    if (!ys.empty()) return {uint8_t(c), uint8_t(m), ys[random() % ys.size()], uint8_t(k)};
  }
}

// The row loop as the composer's contract states it, one column at a time:
// the running sum picks the view, the geometry the source column, the rule
// as written (in extended precision) the grey. Random views, widths, column
// fractions and inks, a quarter of them exact ties; each row composed in
// random disjoint column ranges.
TEST_P(RowComposerPath, MatchesTheRowLoopAsWrittenOnRandomRowSets) {
  std::mt19937 random(2718);
  for (int trial = 0; trial < 40; ++trial) {
    const size_t views = 1 + random() % 12, width = 1 + random() % 150;
    ExportGeometry g;
    g.outputWidth = int64_t(width);
    g.minViewWidth = 1 + random() % 60;
    g.columnStepE9 = int64_t(random() % 2000000000);
    std::vector<uint32_t> viewWidths(views);
    for (auto& w : viewWidths) w = g.minViewWidth + random() % 3;
    ColumnViewMap map{std::vector<int32_t>(width + 1), std::vector<int32_t>(width)};
    for (auto& v : map.viewIndex) v = int32_t(random() % views);
    for (auto& f : map.viewFraction) f = random() % 4 == 0 ? int32_t(random() % 2 * 10000) : int32_t(random() % 10001);
    const bool negative = trial % 2;
    RowComposer composer = Make(g, map, viewWidths, negative);
    std::vector<int32_t> sums(width, 0);
    std::vector<uint8_t> set(composer.RowSetBytes()), out(4 * width);
    for (int row = 0; row < 6; ++row) {
      for (size_t at = 0; at < set.size(); at += 4) {
        const std::array<uint8_t, 4> ink = random() % 4 == 0 ? RandomTie(random)
                                                              : std::array<uint8_t, 4>{uint8_t(random()), uint8_t(random()),
                                                                                       uint8_t(random()), uint8_t(random())};
        std::memcpy(&set[at], ink.data(), 4);
      }
      std::fill(out.begin(), out.end(), 0xAB);
      for (size_t begin = 0; begin < width;) {
        const size_t end = std::min(width, begin + 1 + random() % 40);
        composer.Compose(set.data(), out.data(), begin, end);
        begin = end;
      }
      for (size_t i = 0; i < width; ++i) {
        sums[i] += map.viewFraction[i];
        const bool next = sums[i] > 9999;
        if (next) sums[i] -= 10000;
        const uint8_t* px = &set[composer.ViewOffset(size_t(map.viewIndex[i + (next ? 1 : 0)])) + 4 * g.SourceColumn(int64_t(i))];
        const uint8_t grey = GreyExtended(px[0], px[1], px[2], px[3]);
        ASSERT_EQ(std::vector<uint8_t>(out.begin() + 4 * i, out.begin() + 4 * i + 4),
                  std::vector<uint8_t>(4, negative ? 255 - grey : grey))
            << "trial " << trial << ", row " << row << ", column " << i << " of " << width << ", inks " << int(px[0])
            << "," << int(px[1]) << "," << int(px[2]) << "," << int(px[3]);
      }
    }
  }
}

// The colour plates' rule picks the same pixels and keeps them: the grey
// rule of a colour plate's pixel is the grey plate's pixel (inverted series
// come out as positive inks, whose grey plate is 255 - grey of the stored).
TEST_P(RowComposerPath, TheInkRuleKeepsThePixelsTheGreyRulePicks) {
  std::mt19937 random(1414);
  for (int trial = 0; trial < 20; ++trial) {
    const size_t views = 1 + random() % 9, width = 1 + random() % 120;
    ExportGeometry g;
    g.outputWidth = int64_t(width);
    g.minViewWidth = 1 + random() % 40;
    g.columnStepE9 = int64_t(random() % 2000000000);
    const std::vector<uint32_t> viewWidths(views, g.minViewWidth);
    ColumnViewMap map{std::vector<int32_t>(width + 1), std::vector<int32_t>(width)};
    for (auto& v : map.viewIndex) v = int32_t(random() % views);
    for (auto& f : map.viewFraction) f = int32_t(random() % 10001);
    const bool negative = trial % 2;
    RowComposer grey(g, map, viewWidths, GreyRule(negative), GetParam());
    RowComposer inks(g, map, viewWidths, InkRule(negative), GetParam());
    std::vector<uint8_t> set(grey.RowSetBytes()), greyOut(4 * width), inkOut(4 * width);
    for (int row = 0; row < 5; ++row) {
      for (uint8_t& b : set) b = uint8_t(random());
      grey.Compose(set.data(), greyOut.data(), 0, width);
      inks.Compose(set.data(), inkOut.data(), 0, width);
      for (size_t i = 0; i < width; ++i) {
        const uint8_t* ink = &inkOut[4 * i];
        const uint8_t g = negative ? uint8_t(255 - Grey(255 - ink[0], 255 - ink[1], 255 - ink[2], 255 - ink[3]))
                                   : Grey(ink[0], ink[1], ink[2], ink[3]);
        ASSERT_EQ(greyOut[4 * i], g) << "trial " << trial << ", row " << row << ", column " << i;
      }
    }
  }
}

// The export tests also run with PLIVORA_COMPOSER_PATH set to each path
// (tests/output/CMakeLists.txt); this one fails if the variable were ignored.
TEST(ComposerPathChoice, TakesTheForcedPathOrTheWidestThisProcessorRuns) {
  const QByteArray forced = qgetenv("PLIVORA_COMPOSER_PATH");
  if (!forced.isEmpty()) {
    EXPECT_EQ(std::string(ComposerPathName(DefaultComposerPath())), forced.toStdString());
    return;
  }
  ComposerPath widest = ComposerPath::kScalar;
  for (ComposerPath path : {ComposerPath::kSse2, ComposerPath::kAvx2})
    if (ProcessorRuns(path)) widest = path;
  EXPECT_EQ(DefaultComposerPath(), widest);
}

INSTANTIATE_TEST_SUITE_P(Every, RowComposerPath, ::testing::Values(ComposerPath::kScalar, ComposerPath::kSse2, ComposerPath::kAvx2),
                         [](const ::testing::TestParamInfo<ComposerPath>& info) { return ComposerPathName(info.param); });

}  // namespace
}  // namespace plivora
