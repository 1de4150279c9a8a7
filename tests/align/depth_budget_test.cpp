// The depth budget against the lens: a layer moving 6 view pixels a view
// under 8 pixels a lens is within it; at 10 between two views it ghosts,
// and the warning names them. The measurement runs on synthetic series.
#include "align/depth_budget.h"

#include "align/synthetic_series.h"
#include "support/test_support.h"

namespace plivora {
namespace {

// 600 view pixels an inch under 75 lenses an inch: 8 view pixels a lens.
const PlateScale kScale{600, 4000, 75};

TEST(DepthBudget, FiguresInEveryUnit) {
  const DepthBudget b = MeasureDepthBudget({{0, -2.5L, 4}, {1, -6, 3}, {2, -1, 7.5L}}, kScale);
  EXPECT_EQ(b.front.pair, 2);
  EXPECT_DOUBLE_EQ(double(b.front.viewPixels), 6);
  EXPECT_DOUBLE_EQ(double(b.front.inches), 0.01);
  EXPECT_DOUBLE_EQ(double(b.front.platePixels), 40);
  EXPECT_DOUBLE_EQ(double(b.front.lensWidths), 0.75);
  EXPECT_EQ(b.behind.pair, 3);
  EXPECT_DOUBLE_EQ(double(b.behind.viewPixels), 7.5);
  EXPECT_DOUBLE_EQ(double(b.lensViewPixels), 8);
  EXPECT_EQ(b.frames, 53);
  EXPECT_FALSE(b.ghosting);
  EXPECT_EQ(DepthBudgetLines(b), QStringList({
      QStringLiteral("Depth: at most 6.0 view pixels (40 plate pixels, 0.0100 in, 0.75 lens widths) in front of the key "
                     "plane, 7.5 view pixels (50 plate pixels, 0.0125 in, 0.94 lens widths) behind it"),
      QStringLiteral("One lens covers 8.0 view pixels; the print can show 53 frames")}));
  const DepthBudget g = MeasureDepthBudget({{0, -1, 2}, {3, -9.1L, 1}}, kScale);
  EXPECT_TRUE(g.ghosting);
  EXPECT_EQ(DepthBudgetLines(g).last(),
            QStringLiteral("Ghosting likely: between views 4 and 5 what lies in front of the key plane moves 9.1 view "
                           "pixels (61 plate pixels, 0.0152 in, 1.14 lens widths), more than one lens width; reduce the "
                           "depth, move the key plane or use fewer views"));
  EXPECT_EQ(DepthBudgetLines(g, true).last(),
            QStringLiteral("可能出现重影：视图 4 与 5 之间，关键平面前方的内容移动 9.1 视图像素（61 版面像素，0.0152 英寸，"
                           "1.14 个透镜宽度），超过一个透镜宽度；请减小景深、移动关键平面或减少视图"));
  EXPECT_EQ(test::ErrorOf([] { MeasureDepthBudget({}, {0, 4000, 75}); }),
            QStringLiteral("Cannot work out the depth budget: the view pixels per inch, the DPI and the LPI must be above 0"));
}

// A layer behind the key plane (the background) moving 6 pixels a view,
// then 10 between views 4 and 5, measured by aligning the series; with a
// key shift of 1 the key plane moves with it, and the layer 7 pixels a view.
TEST(DepthBudget, MeasuredOnASeriesWarnsNamingThePair) {
  struct Case {
    std::vector<Real> layer;
    std::optional<Real> keyShift;
    bool ghosting;
    Real most;
    int pair;
  };
  const std::vector<Case> cases = {
      {{0, 6, 12, 18, 24, 30}, {}, false, 6, 1},
      {{0, 6, 12, 18, 28, 34}, {}, true, 10, 4},
      {{0, 6, 12, 18, 24, 30}, 1, false, 7, 1},
  };
  for (const Case& c : cases) {
    test::SyntheticSeries s;
    s.width = 900;
    s.height = 600;
    s.background.assign(c.layer.size(), 0);
    s.camera.assign(c.layer.size(), {});
    s.foreground = test::Layer{80, 120, 260, 360, c.layer};
    AlignOptions options;
    options.key = KeyRect{450, 150, 300, 300};
    options.keyShift = c.keyShift;
    test::TempDir dir;
    const Alignment a = AlignSeries(test::WriteSeries(s, dir.path()), options);
    const DepthBudget b = MeasureDepthBudget(a.parallax, kScale);
    EXPECT_EQ(b.ghosting, c.ghosting);
    EXPECT_NEAR(double(b.behind.viewPixels), double(c.most), 0.5);
    if (c.ghosting) {
      EXPECT_EQ(b.behind.pair, c.pair);
      EXPECT_TRUE(DepthBudgetLines(b).last().startsWith(QStringLiteral("Ghosting likely: between views 4 and 5 ")));
    }
  }
}

}  // namespace
}  // namespace plivora
