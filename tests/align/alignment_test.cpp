// Aligning synthetic series whose motion is known: shifts and turns found
// to a tenth of a pixel (corners within a quarter), the key plane held
// still on the layer it names, and the parallax that is left measured.
#include "align/alignment.h"

#include <cmath>

#include "align/synthetic_series.h"
#include "sample/view_writer.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

constexpr Real kPi = 3.141592653589793238462643383279502884L;

// Where the aligned view puts view point (x, y): its transform applied.
void Aligned(const ViewTransform& t, uint32_t width, uint32_t height, Real x, Real y, Real* ax, Real* ay) {
  const Real r = t.turn * kPi / 180, c = std::cos(r), s = std::sin(r);
  const Real cx = Real(width - 1) / 2, cy = Real(height - 1) / 2, qx = x - cx, qy = y - cy;
  *ax = c * qx + s * qy + cx + t.dx;
  *ay = -s * qx + c * qy + cy + t.dy;
}

// A view's scene point as the camera took it and the alignment put it.
void Through(const test::SyntheticSeries& s, const Alignment& a, int k, Real x, Real y, Real* ax, Real* ay) {
  Real px = 0, py = 0;
  test::CameraPoint(s, k, x, y, &px, &py);
  Aligned(a.transforms[size_t(k)], s.width, s.height, px, py, ax, ay);
}

// Shifts of the whole scene, no turn: each view's shift is found within a
// tenth of a pixel, the horizontal one as the key plane's position.
TEST(AlignSeries, FindsKnownShifts) {
  const std::vector<std::pair<Real, Real>> shifts = {{0, 0}, {17.3L, -4.6L}, {-24.8L, 5.9L}, {3.25L, 0.4L}, {-9.7L, -5.8L}};
  test::SyntheticSeries s;
  for (const auto& [dx, dy] : shifts) {
    s.camera.push_back({dx, dy, 0});
    s.background.push_back(0);
  }
  test::TempDir dir;
  const Alignment a = AlignSeries(test::WriteSeries(s, dir.path()), {});
  ASSERT_EQ(a.transforms.size(), shifts.size());
  for (size_t k = 0; k < shifts.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(double(a.keyPositions[k]), double(shifts[k].first), 0.1);
    EXPECT_NEAR(double(a.transforms[k].dy), double(-shifts[k].second), 0.1);
    EXPECT_NEAR(double(a.transforms[k].turn), 0, 0.005);
  }
  EXPECT_TRUE(a.byFeatures.empty());
}

// Turns up to a degree and vertical shifts, the camera stepping sideways
// evenly: once aligned, every view's corners lie within a quarter pixel of
// the reference's.
TEST(AlignSeries, UndoesTurnsToAQuarterPixelAtTheCorners) {
  const std::vector<ViewTransform> camera = {
      {0, 0, 0}, {-2.5L, 1.3L, 0.6L}, {-5, -2.2L, -1}, {-7.5L, 3.1L, 0.35L}, {-10, -0.7L, 1}};
  test::SyntheticSeries s;
  s.camera = camera;
  s.background.assign(camera.size(), 0);
  test::TempDir dir;
  const Alignment a = AlignSeries(test::WriteSeries(s, dir.path()), {});
  const Real w = Real(s.width - 1), h = Real(s.height - 1);
  for (int k = 0; k < int(camera.size()); ++k)
    for (const auto& [x, y] : {std::pair{Real(0), Real(0)}, {w, 0}, {0, h}, {w, h}}) {
      Real ax = 0, ay = 0, rx = 0, ry = 0;
      Through(s, a, k, x, y, &ax, &ay);
      Through(s, a, 0, x, y, &rx, &ry);
      EXPECT_NEAR(double(ax), double(rx), 0.25) << "view " << k << " corner " << double(x) << "," << double(y);
      EXPECT_NEAR(double(ay), double(ry), 0.25) << "view " << k << " corner " << double(x) << "," << double(y);
    }
}

// A turn of several degrees moves the views' far parts further than one
// shift can match: matched features (outliers cast out) find the motion,
// the patches refine it.
TEST(AlignSeries, MatchesFeaturesWhereOneShiftCannot) {
  test::SyntheticSeries s;
  s.width = 1200;
  s.height = 900;
  s.camera = {{0, 0, 0}, {0, 9.5L, 4.5L}};
  s.background = {0, 0};
  test::TempDir dir;
  const Alignment a = AlignSeries(test::WriteSeries(s, dir.path()), {});
  EXPECT_EQ(a.byFeatures, std::vector<int>{0});
  for (const auto& [x, y] : {std::pair{Real(0), Real(0)}, {Real(1199), Real(899)}}) {
    Real ax = 0, ay = 0;
    Through(s, a, 1, x, y, &ax, &ay);
    EXPECT_NEAR(double(ax), double(x), 0.25);
    EXPECT_NEAR(double(ay), double(y), 0.25);
  }
}

// Two layers moving at different rates, the key on the one in front: after
// alignment the front layer keeps its place within a tenth of a pixel, and
// the background moves by the difference of the rates.
TEST(AlignSeries, HoldsTheKeyLayerStill) {
  test::SyntheticSeries s;
  s.width = 1200;
  s.height = 900;
  test::Layer front{380, 260, 440, 380, {}};
  for (int k = 0; k < 5; ++k) {
    s.background.push_back(Real(2 * k));
    front.positions.push_back(Real(-3.5L * k));
    s.camera.push_back({0, Real((k * 7) % 5 - 2) * 0.8L, Real((k * 3) % 5 - 2) * 0.15L});
  }
  s.foreground = front;
  AlignOptions options;
  options.key = KeyRect{420, 300, 360, 300};
  test::TempDir dir;
  const Alignment a = AlignSeries(test::WriteSeries(s, dir.path()), options);
  Real rx = 0, ry = 0;
  Through(s, a, 0, 600, 450, &rx, &ry);
  for (int k = 1; k < 5; ++k) {
    Real ax = 0, ay = 0;
    Through(s, a, k, 600 + front.positions[size_t(k)], 450, &ax, &ay);
    EXPECT_NEAR(double(ax), double(rx), 0.1) << k;
    EXPECT_NEAR(double(ay), double(ry), 0.1) << k;
    // The background moves 5.5 pixels right of the key a view.
    EXPECT_NEAR(double(a.parallax[size_t(k - 1)].high), 5.5, 0.5) << k;
  }
}

// A key shift given moves view k by k times it, whatever the key plane
// measures; the vertical shifts are still found.
TEST(AlignSeries, AGivenKeyShiftMovesEachViewByItsMultiple) {
  test::SyntheticSeries s;
  s.width = 720;
  s.height = 540;
  s.camera = {{0, 0, 0}, {3, 1.5L, 0}, {6, -2.25L, 0}};
  s.background = {0, 0, 0};
  AlignOptions options;
  options.keyShift = -1.25L;
  test::TempDir dir;
  const Alignment a = AlignSeries(test::WriteSeries(s, dir.path()), options);
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_NEAR(double(a.transforms[k].dx), -1.25 * double(k), 0.01) << k;
    EXPECT_NEAR(double(a.transforms[k].dy), -double(s.camera[k].dy), 0.1) << k;
  }
}

TEST(AlignSeries, RefusesWhatItCannotAlign) {
  test::TempDir dir;
  const std::vector<uint8_t> grey(200 * 150 * 4, 90);
  const QString a = dir.path("a.tif"), b = dir.path("b.tif");
  WriteViewFile(a, 200, 150, grey);
  WriteViewFile(b, 200, 150, grey);
  EXPECT_EQ(ErrorOf([&] { AlignSeries({a}, {}); }), QStringLiteral("Aligning takes at least two views"));
  EXPECT_EQ(ErrorOf([&] { AlignSeries({a, b}, {}); }),
            QStringLiteral("Cannot align views 1 and 2: they have too little detail in common to be matched (aligning "
                           "needs texture across the picture; a rendered series needs no aligning)"));
  AlignOptions outside;
  outside.key = KeyRect{150, 100, 60, 60};
  EXPECT_EQ(ErrorOf([&] { AlignSeries({a, b}, outside); }),
            QStringLiteral("The key rectangle 150,100,60,60 does not lie inside the first view (200 x 150 pixels)"));
}

}  // namespace
}  // namespace plivora
