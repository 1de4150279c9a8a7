#include "proof/proof_renderer.h"

#include "proof/sampled_plate.h"

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

// Worked by hand: sin 30 = 0.5, / 1.57 = 0.318471, asin = 18.5696 degrees,
// tan = 0.335917, x 0.46 mm. Index 1 is plain geometry: t x tan(angle).
TEST(SeenOffset, RefractsAtTheLensCrest) {
  const Real cases[][4] = {{0, 0.46L, 1.57L, 0},     {30, 0.46L, 1.57L, 0.154522L}, {-30, 0.46L, 1.57L, -0.154522L},
                           {45, 1, 1, 1},             {-45, 2, 1, -2},               {89.9L, 0.46L, 1.57L, 0.380060L}};
  for (const auto& [angle, thicknessMm, index, offsetMm] : cases) {
    LensModel lens;
    lens.thickness = thicknessMm / 25.4L;
    lens.index = index;
    EXPECT_NEAR(double(SeenOffset(lens, angle) * 25.4L), double(offsetMm), 2e-4) << double(angle);
  }
}

// A plate of `width` x `height` pixels; pixel (x, y) holds x + 1, y, 7, 9
// (CMYK), so a sample tells where it was taken.
struct TestPlate {
  PlateFrame frame;
  TestPlate(uint32_t width, uint32_t height, Real xDpi, Real yDpi) : frame{width, height, xDpi, yDpi, ColourModel::kCmyk, {}} {}
  std::vector<uint8_t> Row(uint32_t y) const {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < frame.width; ++x) row.insert(row.end(), {uint8_t(x + 1), uint8_t(y), 7, 9});
    return row;
  }
  ProofPicture Render(const LensModel& lens, const Viewpoint& eye, uint32_t* rowsRead = nullptr) const {
    ProofRenderer renderer(frame, lens, eye);
    for (uint32_t y = 0; y < frame.height; ++y)
      if (renderer.Wants(y)) {
        renderer.TakeRow(y, Row(y).data());
        if (rowsRead) ++*rowsRead;
      }
    return renderer.Finish();
  }
};

// 10 LPI on 110 dpi: 11 pixels a lens, lens i centred in the middle of
// pixel 11 i + 5 (never on a pixel's edge). Index 1: 45 degrees looks as
// far on as the sheet is thick.
LensModel ElevenPixelLens(LensDirection direction, Real thicknessPixels = 2) {
  LensModel lens;
  lens.lpi = 10;
  lens.direction = direction;
  lens.index = 1;
  lens.thickness = thicknessPixels / 110;
  return lens;
}

const uint8_t* At(const ProofPicture& p, uint32_t x, uint32_t y) { return &p.pixels[(size_t(y) * p.width + x) * 4]; }

// Each lens shows the pixel its ray meets (paper, no ink, off the plate);
// along the lenses, samples are the mean of the plate's pixels: for
// vertical lenses rows 5 j .. 5 j + 4, mean 5 j + 2; for horizontal lenses
// the turned plate, only the row each lens shows read, its columns
// 5 j .. 5 j + 4 holding 5 j + 1 .. 5 j + 5, mean 5 j + 3.
TEST(ProofRenderer, EachLensShowsThePixelItsRayMeets) {
  // angle, thickness in pixels, the pixel lens 0 and lens 9 show (-1: paper)
  const Real cases[][4] = {{0, 2, 5, 104},  {45, 2, 7, 106},     {-45, 2, 3, 102},
                           {45, 4, 9, 108}, {45, 5.7L, 11, -1},  {-45, 5.7L, -1, 98}};
  for (LensDirection direction : {LensDirection::kVertical, LensDirection::kHorizontal}) {
    const bool vertical = direction == LensDirection::kVertical;
    const TestPlate plate = vertical ? TestPlate(110, 50, 110, 50) : TestPlate(50, 110, 50, 110);
    for (const auto& [angle, thickness, first, last] : cases) {
      SCOPED_TRACE(double(angle));
      Viewpoint eye;
      eye.angle = angle;
      uint32_t rowsRead = 0;
      const ProofPicture p = plate.Render(ElevenPixelLens(direction, thickness), eye, &rowsRead);
      ASSERT_EQ(p.width, 10u);  // a sample a lens, and 1 inch at 10 an inch
      ASSERT_EQ(p.height, 10u);
      EXPECT_EQ(rowsRead, vertical ? 50u : (first < 0 || last < 0) ? 9u : 10u);
      for (const auto& [lens, pixel] : {std::pair{0u, first}, std::pair{9u, last}}) {
        const uint8_t* got = vertical ? At(p, lens, 3) : At(p, 3, lens);
        const std::vector<uint8_t> expected = pixel < 0 ? std::vector<uint8_t>{0, 0, 0, 0}
                                              : vertical ? std::vector<uint8_t>{uint8_t(pixel + 1), 17, 7, 9}
                                                         : std::vector<uint8_t>{18, uint8_t(pixel), 7, 9};
        EXPECT_EQ(std::vector<uint8_t>(got, got + 4), expected) << lens;
      }
    }
  }
}

// One sample a lens, Round(inches x LPI), and the lens pitch along them: a
// plate compressed below it has its pixels repeated (5 rows make 25).
TEST(ProofRenderer, KeepsThePlatesProportions) {
  struct Case {
    uint32_t width, height;
    Real xDpi, yDpi;
    LensDirection direction;
    uint32_t proofWidth, proofHeight;
  };
  const Case cases[] = {
      {200, 30, 100, 10, LensDirection::kVertical, 20, 30},   // 2 x 3 inches
      {105, 50, 100, 50, LensDirection::kVertical, 10, 10},   // 10.5 lenses: ties to even
      {115, 50, 100, 50, LensDirection::kVertical, 12, 10},   // 11.5 lenses
      {100, 3, 100, 100, LensDirection::kVertical, 10, 1},    // at least one row
      {110, 5, 110, 2, LensDirection::kVertical, 10, 25},     // 2.5 inches in 5 rows
      {30, 200, 10, 100, LensDirection::kHorizontal, 30, 20}, // 3 wide, 2 high
  };
  for (const Case& c : cases) {
    const ProofPicture p = TestPlate(c.width, c.height, c.xDpi, c.yDpi).Render(ElevenPixelLens(c.direction), {});
    EXPECT_EQ(std::pair(p.width, p.height), std::pair(c.proofWidth, c.proofHeight)) << c.width << " x " << c.height;
    for (uint32_t y = 0; c.height == 5 && y < 25; ++y) EXPECT_EQ(At(p, 3, y)[1], y / 5) << y;
  }
}

TEST(LensProblem, NamesALensThePlateCannotHold) {
  // x dpi, y dpi, LPI, horizontal, width = height in pixels
  const std::tuple<Real, Real, Real, bool, uint32_t, const char*> cases[] = {
      {100, 100, 50, false, 100, ""},
      {100, 100, 60, false, 100, "at 60 LPI a lens covers 1.67 pixels of the plate (100 dpi across the lenses); a proof needs at least 2"},
      {100, 30, 20, true, 100, "at 20 LPI a lens covers 1.5 pixels of the plate (30 dpi across the lenses); a proof needs at least 2"},
      {100, 100, 0.4L, false, 100, "the plate is narrower than one lens at 0.4 LPI (1 inches across the lenses)"},
      {100, 100, 50, false, 10000, "its proof would be 5000 x 5000 samples, more than a proof holds"},
      {100, 0.1L, 50, false, 100, "its resolution along the lenses (0.1 dpi) is far below the lens pitch (50 LPI)"},
  };
  for (const auto& [xDpi, yDpi, lpi, horizontal, size, problem] : cases) {
    LensModel lens;
    lens.lpi = lpi;
    lens.direction = horizontal ? LensDirection::kHorizontal : LensDirection::kVertical;
    EXPECT_EQ(LensProblem(PlateFrame{size, size, xDpi, yDpi, ColourModel::kCmyk, {}}, lens), QString::fromLatin1(problem));
  }
}

// Rows come top to bottom: a vertical proof needs every row, a horizontal
// one the row each lens shows; the renderer names the one missing rather
// than hand out a picture with holes.
TEST(ProofRenderer, RefusesRowsOutOfOrderOrMissing) {
  const TestPlate vertical(110, 50, 110, 50), horizontal(50, 110, 50, 110);
  ProofRenderer skipped(vertical.frame, ElevenPixelLens(LensDirection::kVertical), Viewpoint{});
  skipped.TakeRow(0, vertical.Row(0).data());
  EXPECT_EQ(ErrorOf([&] { skipped.TakeRow(2, vertical.Row(2).data()); }),
            "The proof was given plate row 2 out of order (a fault in this program)");
  ProofRenderer unfinished(horizontal.frame, ElevenPixelLens(LensDirection::kHorizontal), Viewpoint{});
  EXPECT_FALSE(unfinished.Wants(4));
  unfinished.TakeRow(5, horizontal.Row(5).data());
  EXPECT_EQ(ErrorOf([&] { unfinished.Finish(); }), "The proof was not given plate row 16 (a fault in this program)");
}

// A plate sampled once for a lens's pitch and direction shows, through any
// thickness and index and from any eye, the proof the renderer makes of the
// plate's own rows: across and along the lenses, a plate with its rows
// repeated along them (5 rows make 25 samples), near and far eyes.
TEST(SampledPlate, ShowsTheProofOfThePlateItself) {
  const std::pair<TestPlate, LensDirection> plates[] = {{{110, 50, 110, 50}, LensDirection::kVertical},
                                                       {{50, 110, 50, 110}, LensDirection::kHorizontal},
                                                       {{110, 5, 110, 2}, LensDirection::kVertical},
                                                       {{300, 40, 110, 40}, LensDirection::kVertical},
                                                       {{40, 300, 40, 110}, LensDirection::kHorizontal}};
  // angle, thickness in pixels, index, distance in inches (0: far away)
  const Real eyes[][4] = {{0, 2, 1, 0}, {45, 4, 1, 0}, {-30, 5.7L, 1.57L, 0}, {12, 3, 1.49L, 4}};
  for (const auto& [plate, direction] : plates) {
    const bool vertical = direction == LensDirection::kVertical;
    SampledPlate sampled(plate.frame, ElevenPixelLens(direction));
    for (uint32_t y = 0; y < plate.frame.height; ++y) sampled.TakeRow(y, plate.Row(y).data());
    for (const auto& [angle, thickness, index, distance] : eyes) {
      SCOPED_TRACE(testing::Message() << plate.frame.width << " x " << plate.frame.height << ", " << vertical << ", "
                                      << double(angle));
      LensModel lens = ElevenPixelLens(direction, thickness);
      lens.index = index;
      Viewpoint eye;
      eye.angle = angle;
      if (distance > 0) eye.distance = distance;
      const ProofPicture expected = plate.Render(lens, eye), got = sampled.Proof(lens, eye);
      EXPECT_EQ(std::pair(got.width, got.height), std::pair(expected.width, expected.height));
      EXPECT_TRUE(got.pixels == expected.pixels);
    }
  }
}

TEST(SampledPlate, RefusesAnUnfinishedPlateAndAnotherLens) {
  const TestPlate plate(110, 50, 110, 50);
  SampledPlate sampled(plate.frame, ElevenPixelLens(LensDirection::kVertical));
  for (uint32_t y = 0; y < 49; ++y) sampled.TakeRow(y, plate.Row(y).data());
  EXPECT_EQ(ErrorOf([&] { sampled.Proof(ElevenPixelLens(LensDirection::kVertical), {}); }),
            "The lens view's plate lacks row 49 (a fault in this program)");
  EXPECT_EQ(ErrorOf([&] { sampled.TakeRow(50, plate.Row(49).data()); }),
            "The lens view was given plate row 50 out of order (a fault in this program)");
  sampled.TakeRow(49, plate.Row(49).data());
  LensModel other = ElevenPixelLens(LensDirection::kVertical);
  other.lpi = 11;
  EXPECT_EQ(ErrorOf([&] { sampled.Proof(other, {}); }),
            "The lens view's plate was sampled for another lens (a fault in this program)");
}

}  // namespace
}  // namespace plivora
