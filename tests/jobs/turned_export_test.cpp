// A turned view through the whole export: a series of a view and a turned
// copy of it writes the plate of the view listed twice, within the cubic
// filter's error, only when the turn goes anticlockwise as seen about the
// view's centre. The same comparison made against a copy turned the wrong
// way, or about the wrong point, must fail, or it would prove nothing.

#include <cmath>

#include "jobs/export.h"
#include "sample/view_writer.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ImageRows;

constexpr uint32_t kW = 121, kH = 91;  // centre (60, 45)
constexpr Real kPi = 3.141592653589793238462643383279502884L;
constexpr Real kTurn = 3;  // degrees
// Round spots: one on the centre, which a turn about it leaves in place,
// and two well off it, which a turn moves by several pixels.
const std::vector<std::pair<Real, Real>> kSpots = {{60, 45}, {100, 45}, {35, 70}};

// Where a turn of `degrees` about (cx, cy), anticlockwise as seen (y down),
// takes (x, y).
std::pair<Real, Real> TurnedPoint(Real x, Real y, Real degrees, Real cx, Real cy) {
  const Real r = degrees * kPi / 180, c = std::cos(r), s = std::sin(r), qx = x - cx, qy = y - cy;
  return {qx * c + qy * s + cx, -qx * s + qy * c + cy};
}

// Black spots of deviation 2.5 pixels on paper, in K; `left`, `top` is the
// view's top-left pixel on the grid the spots are placed on.
std::vector<uint8_t> SpotInks(const std::vector<std::pair<Real, Real>>& spots, uint32_t width, uint32_t height, int64_t left,
                              int64_t top) {
  return test::MakePixels(width, height, [&](uint32_t x, uint32_t y) {
    Real k = 0;
    for (const auto& [sx, sy] : spots) {
      const Real dx = Real(int64_t(x) + left) - sx, dy = Real(int64_t(y) + top) - sy;
      k += 230 * std::exp(-(dx * dx + dy * dy) / (2 * 2.5L * 2.5L));
    }
    return std::vector<uint8_t>{0, 0, 0, uint8_t(std::min<int64_t>(255, Round(k)))};
  });
}

ExportRequest Plate(const QStringList& views, const QString& output, uint32_t width, uint32_t height) {
  ExportRequest r;
  SetOption(r, "unit", "inch");
  SetOption(r, "width", "0.5");
  SetOption(r, "height", "0.4");
  SetOption(r, "dpi", "300");
  SetOption(r, "lpi", "50");
  SetOption(r, "compress", "1");
  r.views = views;
  r.firstPhotoWidth = int32_t(width);
  r.firstPhotoHeight = int32_t(height);
  r.outputPath = output;
  r.now = QDateTime(QDate(2026, 12, 9), QTime(12, 0));
  r.locale = QLocale::c();
  return r;
}

TEST(TurnedExport, TurnsAnticlockwiseAboutTheViewsCentre) {
  struct Case {
    const char* name;
    Real turn;        // the turn the expected copy is drawn with
    Real cx, cy;      // about this point
    bool matches;     // whether the plates agree
  };
  const std::vector<Case> cases = {
      {"anticlockwise about the centre", kTurn, 60, 45, true},
      {"clockwise: the wrong sign", -kTurn, 60, 45, false},
      {"about the top-left pixel: the wrong centre", kTurn, 0, 0, false},
  };
  test::TempDir dir;
  const QString view = dir.path("view.tif");
  WriteViewFile(view, kW, kH, SpotInks(kSpots, kW, kH, 0, 0));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The first view is the spots where the turn puts them, unturned; the
    // second the view itself, turned by the export.
    std::vector<std::pair<Real, Real>> moved;
    for (const auto& [x, y] : kSpots) moved.push_back(TurnedPoint(x, y, c.turn, c.cx, c.cy));
    const QString first = dir.path("first.tif");
    WriteViewFile(first, kW, kH, SpotInks(moved, kW, kH, 0, 0));
    const std::vector<ViewTransform> transforms = {{}, {0, 0, kTurn}};
    const std::optional<CommonArea> area = AlignedAreaOf({first, view}, transforms);
    ASSERT_TRUE(area.has_value());
    ExportRequest turned = Plate({first, view}, dir.path("turned.tif"), area->width, area->height);
    turned.transforms = transforms;
    ExportInterlaced(turned, {});
    // The expected plate: the first view cut to the area, listed twice.
    const QString cut = dir.path("cut.tif");
    WriteViewFile(cut, area->width, area->height, SpotInks(moved, area->width, area->height, area->left, area->top));
    ExportInterlaced(Plate({cut, cut}, dir.path("expected.tif"), area->width, area->height), {});

    const uint32_t rows = 120;  // 0.4 inch at 300 dpi
    const std::vector<uint8_t> a = ImageRows(dir.path("turned.tif"), rows), b = ImageRows(dir.path("expected.tif"), rows);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_FALSE(a.empty());
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    if (c.matches)
      EXPECT_LE(worst, 6);
    else
      EXPECT_GT(worst, 40);
  }
}

}  // namespace
}  // namespace plivora
