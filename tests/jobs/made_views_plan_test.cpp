// The made views as an export plans them: how many (the options, or the
// whole pixels a lens covers), how wide against the bottom layer's movement,
// and the options' refusals.
#include "jobs/made_views.h"

#include <QImage>

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::TempDir;

ExportRequest RequestOf(const OptionValues& values) {
  ExportRequest r;
  r.settings = SettingsFrom(values);
  return r;
}

TEST(MadeViewsPlan, TheFramesAreTheOptionsOrTheWholePixelsALensCovers) {
  struct Case {
    OptionValues values;
    int frames;  // 0: refused on --frames
  };
  const std::vector<Case> cases = {
      {{}, 52},                                                            // 4000 / 75.5555555555555 = 52.94
      {{{"dpi", "2400"}, {"lpi", "60"}}, 40},
      {{{"dpi", "300"}, {"lpi", "200"}}, 2},                               // at least two views
      {{{"frames", "24"}}, 24},
      {{{"dpi", "(Auto)"}, {"frames", "12"}}, 12},
      {{{"dpi", "(Auto)"}}, 0},                                            // the DPI follows the frames
  };
  for (const Case& c : cases) {
    const ExportSettings s = SettingsFrom(c.values);
    if (c.frames == 0) {
      try {
        s.made.FramesFor(s.autoDpi, s.dpiE9, s.lpiE9);
        ADD_FAILURE() << "not refused";
      } catch (const OptionError& e) {
        EXPECT_EQ(e.option(), QStringLiteral("frames"));
      }
      continue;
    }
    EXPECT_EQ(s.made.FramesFor(s.autoDpi, s.dpiE9, s.lpiE9), c.frames);
  }
}

TEST(MadeViewsPlan, TheOptionsOutOfRangeAreRefusedByName) {
  const std::vector<std::pair<QString, QString>> cases = {
      {"frames", "1"}, {"frames", "256"}, {"key-depth", "256"}, {"key-depth", "-1"}, {"depth", "101"}, {"depth", "deep"}};
  for (const auto& [name, value] : cases) {
    try {
      SettingsFrom({{name, value}});
      ADD_FAILURE() << name.toStdString() << " " << value.toStdString() << " not refused";
    } catch (const OptionError& e) {
      EXPECT_EQ(e.option(), name);
    }
  }
  const ExportSettings s = SettingsFrom({{"depth", "-2.5"}, {"key-depth", "0"}});
  EXPECT_EQ(s.made.depth, -2.5L);
  EXPECT_EQ(s.made.keyDepth, 0);
}

// A lens width in view pixels is the views' width over the lenses across:
// 2 inches at 20 LPI is 40 lenses.
TEST(MadeViewsPlan, TheViewsLoseWhatTheBottomLayersMovementUncovers) {
  TempDir dir;
  QImage sky(200, 50, QImage::Format_RGB888);
  sky.fill(Qt::blue);
  ASSERT_TRUE(sky.save(dir.path("sky.png")));
  QImage logo(20, 10, QImage::Format_RGBA8888);
  logo.fill(Qt::transparent);
  ASSERT_TRUE(logo.save(dir.path("logo.png")));
  struct Case {
    Real depth;
    int64_t left;
    uint32_t width;
  };
  // 200 pixels over 40 lenses: 5 a lens. -2 lens widths: 10 pixels across
  // the series, 5 lost at either side, then 190 / 40 a lens.
  const std::vector<Case> cases = {{0, 0, 200}, {-2, 5, 190}, {1.1L, 3, 194}, {-40, 0, 0}};
  for (const Case& c : cases) {
    ExportRequest r = RequestOf({{"unit", "inch"}, {"width", "2"}, {"lpi", "20"}, {"dpi", "160"}});
    r.layers = {{dir.path("sky.png"), c.depth, 0, 0}, {dir.path("logo.png"), 1, 3, 4}};
    if (c.width == 0) {
      EXPECT_TRUE(ErrorOf([&] { PlanMadeViews(r); }).contains(QLatin1String("sky.png")));
      continue;
    }
    const MadeViewPlan plan = PlanMadeViews(r);
    EXPECT_EQ(plan.frames, 8);
    EXPECT_EQ(plan.columns.left, c.left);
    EXPECT_EQ(plan.columns.width, c.width);
    EXPECT_EQ(plan.height, 50u);
    EXPECT_EQ(plan.pixelsPerLens, Real(c.width) / 40);
  }
  ExportRequest both = RequestOf({});
  both.layers = {{dir.path("sky.png"), 0, 0, 0}};
  both.views = QStringList{dir.path("sky.png")};
  EXPECT_TRUE(ErrorOf([&] { PlanMadeViews(both); }).contains(QLatin1String("both given")));
}

}  // namespace
}  // namespace plivora
