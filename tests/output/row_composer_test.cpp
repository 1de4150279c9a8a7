#include "output/row_composer.h"

#include "support/test_support.h"

namespace plivora {
namespace {

int ViewOf(const std::vector<uint8_t>& out, size_t column) { return out[4 * column] / 10 - 1; }

// Views 0, 1 and 2 are uniformly K = 10, 20 and 30, so that an output
// pixel's grey names the view it came from.
struct ThreeViews {
  std::vector<std::vector<uint8_t>> rows = {test::Uniform(1, 1, 0, 0, 0, 10), test::Uniform(1, 1, 0, 0, 0, 20),
                                            test::Uniform(1, 1, 0, 0, 0, 30)};
  std::vector<const uint8_t*> pointers = {rows[0].data(), rows[1].data(), rows[2].data()};
};

ExportGeometry OnePixelViews(int64_t outputWidth) {
  ExportGeometry g;
  g.outputWidth = outputWidth;
  g.minViewWidth = 1;
  g.columnStepE9 = 0;
  return g;
}

TEST(RowComposer, FractionalColumnTakesTheNextViewWhereItsSumReaches10000) {
  const ColumnViewMap map{{0, 1}, {2267}};  // column 1 of the worked example lies 2267 along
  RowComposer composer(OnePixelViews(1), map, false);
  ThreeViews views;
  std::vector<uint8_t> out(4);
  std::vector<int> nextViewRows;
  for (int r = 0; r < 20; ++r) {
    composer.Compose(views.pointers, out.data());
    if (ViewOf(out, 0) == 1) nextViewRows.push_back(r);
  }
  EXPECT_EQ(nextViewRows, (std::vector<int>{4, 8, 13, 17}));
}

TEST(RowComposer, HalfFractionAlternatesAndFullFractionAlwaysTakesTheNextView) {
  const ColumnViewMap map{{0, 1, 2}, {5000, 10000}};
  RowComposer composer(OnePixelViews(2), map, false);
  ThreeViews views;
  std::vector<uint8_t> out(8);
  std::vector<int> column0, column1;
  for (int r = 0; r < 4; ++r) {
    composer.Compose(views.pointers, out.data());
    column0.push_back(ViewOf(out, 0));
    column1.push_back(ViewOf(out, 1));
  }
  EXPECT_EQ(column0, (std::vector<int>{0, 1, 0, 1}));
  EXPECT_EQ(column1, (std::vector<int>{2, 2, 2, 2}));
}

TEST(RowComposer, WritesOneGreyInAllFourSamplesAndInvertsForNegativeSeries) {
  ExportGeometry g;
  g.outputWidth = 3;
  g.minViewWidth = 3;
  g.columnStepE9 = 1000000000;
  ColumnViewMap map{{0, 0, 0, 0}, {0, 0, 0}};
  const std::vector<uint8_t> row = {200, 100, 50, 0, 10, 20, 30, 40, 255, 255, 255, 255};
  const std::vector<const uint8_t*> pointers = {row.data()};
  std::vector<uint8_t> out(12);
  RowComposer(g, map, false).Compose(pointers, out.data());
  EXPECT_EQ(out, (std::vector<uint8_t>{124, 124, 124, 124, 58, 58, 58, 58, 255, 255, 255, 255}));
  RowComposer(g, map, true).Compose(pointers, out.data());
  EXPECT_EQ(out, (std::vector<uint8_t>{131, 131, 131, 131, 197, 197, 197, 197, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace plivora
