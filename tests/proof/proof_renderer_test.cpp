#include "proof/proof_renderer.h"

#include <cmath>

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

constexpr Real kMm = 1 / 25.4L;

// Worked by hand: sin 30 = 0.5, / 1.57 = 0.318471, asin = 18.5696 degrees,
// tan = 0.335917, x 0.46 mm. Index 1 is plain geometry: t x tan(angle).
TEST(SeenOffset, RefractsAtTheLensCrest) {
  struct Case {
    Real angle, thicknessMm, index, offsetMm;
  };
  const Case cases[] = {{0, 0.46L, 1.57L, 0},         {30, 0.46L, 1.57L, 0.154522L}, {-30, 0.46L, 1.57L, -0.154522L},
                        {45, 1, 1, 1},                 {-45, 2, 1, -2},               {89.9L, 0.46L, 1.57L, 0.380060L}};
  for (const Case& c : cases) {
    SCOPED_TRACE(double(c.angle));
    LensModel lens;
    lens.thickness = c.thicknessMm * kMm;
    lens.index = c.index;
    EXPECT_NEAR(double(SeenOffset(lens, c.angle) / kMm), double(c.offsetMm), 2e-4);
  }
}

// An eye at the print's centre sees a lens D x tan(10) to its right at 10
// degrees (the ray runs right, so the angle is that of an eye on the left
// of the lens); moved X to the left it sees the centre at atan(X / D); at
// angle A it sees the centre at A.
TEST(Viewpoint, GivesEachLensItsAngle) {
  const Real d = 600 * kMm;
  Viewpoint far;
  far.angle = 12;
  EXPECT_EQ(far.AngleAt(5), 12);
  Viewpoint near;
  near.distance = d;
  EXPECT_NEAR(double(near.AngleAt(d * std::tan(10 * 3.14159265358979323846L / 180))), 10, 1e-12);
  EXPECT_NEAR(double(near.AngleAt(-d * std::tan(10 * 3.14159265358979323846L / 180))), -10, 1e-12);
  near.sideways = d;
  EXPECT_NEAR(double(near.AngleAt(0)), 45, 1e-12);
  near.sideways = 0;
  near.angle = -25;
  EXPECT_NEAR(double(near.AngleAt(0)), -25, 1e-12);
}

// A plate of `width` x `height` pixels at `dpi` x `dpi`; pixel (x, y) holds
// x + 1, y, 7, 9 (CMYK), so a sample tells where it was taken.
struct TestPlate {
  PlateFrame frame;
  explicit TestPlate(uint32_t width, uint32_t height, Real xDpi, Real yDpi) {
    frame.width = width;
    frame.height = height;
    frame.xDpi = xDpi;
    frame.yDpi = yDpi;
  }
  std::vector<uint8_t> Row(uint32_t y) const {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < frame.width; ++x) row.insert(row.end(), {uint8_t(x + 1), uint8_t(y), 7, 9});
    return row;
  }
  ProofPicture Render(const LensModel& lens, const Viewpoint& eye, uint32_t* rowsRead = nullptr) const {
    ProofRenderer renderer(frame, lens, eye);
    uint32_t read = 0;
    for (uint32_t y = 0; y < frame.height; ++y)
      if (renderer.Wants(y)) {
        renderer.TakeRow(y, Row(y).data());
        ++read;
      }
    if (rowsRead) *rowsRead = read;
    return renderer.Finish();
  }
};

// 10 LPI on 110 dpi: 11 pixels a lens, lens i centred in the middle of
// pixel 11 i + 5 (never on a pixel's edge). Index 1 and 2 pixels of
// thickness: 45 degrees looks 2 pixels on.
LensModel ElevenPixelLens(LensDirection direction, Real thicknessPixels = 2) {
  LensModel lens;
  lens.lpi = 10;
  lens.direction = direction;
  lens.index = 1;
  lens.thickness = thicknessPixels / 110;
  return lens;
}

const uint8_t* At(const ProofPicture& p, uint32_t x, uint32_t y) { return &p.pixels[(size_t(y) * p.width + x) * 4]; }

struct SampleCase {
  Real angle;
  Real thicknessPixels;
  int firstColumn;  // what lens 0 shows
  int lastColumn;   // what lens 9 shows; -1: paper
};

const SampleCase kSamples[] = {{0, 2, 5, 104},   {45, 2, 7, 106},      {-45, 2, 3, 102},
                               {45, 4, 9, 108},   {45, 5.7L, 11, -1},   {-45, 5.7L, -1, 98}};

TEST(ProofRenderer, EachVerticalLensShowsThePixelItsRayMeets) {
  const TestPlate plate(110, 50, 110, 50);  // 1 x 1 inch
  for (const SampleCase& c : kSamples) {
    SCOPED_TRACE(double(c.angle));
    Viewpoint eye;
    eye.angle = c.angle;
    const ProofPicture p = plate.Render(ElevenPixelLens(LensDirection::kVertical, c.thicknessPixels), eye);
    ASSERT_EQ(p.width, 10u);   // a sample a lens
    ASSERT_EQ(p.height, 10u);  // 1 inch at 10 a inch
    for (uint32_t y = 0; y < p.height; ++y) {
      // Each proof row is the mean of its 5 plate rows: 5 y + 2.
      const std::vector<uint8_t> first = c.firstColumn < 0 ? std::vector<uint8_t>{0, 0, 0, 0}
                                                           : std::vector<uint8_t>{uint8_t(c.firstColumn + 1), uint8_t(5 * y + 2), 7, 9};
      const std::vector<uint8_t> last = c.lastColumn < 0 ? std::vector<uint8_t>{0, 0, 0, 0}
                                                         : std::vector<uint8_t>{uint8_t(c.lastColumn + 1), uint8_t(5 * y + 2), 7, 9};
      EXPECT_EQ(std::vector<uint8_t>(At(p, 0, y), At(p, 0, y) + 4), first) << y;
      EXPECT_EQ(std::vector<uint8_t>(At(p, 9, y), At(p, 9, y) + 4), last) << y;
    }
  }
}

// The same plate turned: lenses run along the rows, and only the row each
// lens shows is read; its columns are averaged along the lens.
TEST(ProofRenderer, EachHorizontalLensShowsTheRowItsRayMeets) {
  const TestPlate plate(50, 110, 50, 110);
  for (const SampleCase& c : kSamples) {
    SCOPED_TRACE(double(c.angle));
    Viewpoint eye;
    eye.angle = c.angle;
    uint32_t rowsRead = 0;
    const ProofPicture p = plate.Render(ElevenPixelLens(LensDirection::kHorizontal, c.thicknessPixels), eye, &rowsRead);
    ASSERT_EQ(p.width, 10u);
    ASSERT_EQ(p.height, 10u);
    EXPECT_EQ(rowsRead, (c.firstColumn < 0 || c.lastColumn < 0) ? 9u : 10u);  // paper reads nothing
    for (uint32_t x = 0; x < p.width; ++x) {
      // Columns 5 x .. 5 x + 4 hold x + 1 .. x + 5: their mean is 5 x + 3.
      const std::vector<uint8_t> first = c.firstColumn < 0 ? std::vector<uint8_t>{0, 0, 0, 0}
                                                           : std::vector<uint8_t>{uint8_t(5 * x + 3), uint8_t(c.firstColumn), 7, 9};
      EXPECT_EQ(std::vector<uint8_t>(At(p, x, 0), At(p, x, 0) + 4), first) << x;
      if (c.lastColumn >= 0) {
        EXPECT_EQ(At(p, x, 9)[1], c.lastColumn);
      }
    }
  }
}

// An eye 1 inch in front of the centre of a 1-inch plate: the lenses left of
// it are seen from the right and show the left of their pixels, those on its
// right the right; from far away every lens shows its centre.
TEST(ProofRenderer, ANearEyeSeesEachLensAtItsOwnAngle) {
  const TestPlate plate(110, 10, 110, 10);
  const LensModel lens = ElevenPixelLens(LensDirection::kVertical, 5);
  Viewpoint near;
  near.distance = 1;
  const ProofPicture p = plate.Render(lens, near);
  // Lens 0 lies 0.45 inch left of the eye: 5 x 0.45 = 2.25 pixels left of
  // its centre (5.5); lens 9 as far right. Lenses 4 and 5, 0.05 inch either
  // side, show pixel 5 of themselves.
  const int expected[] = {3, 3, 4, 4, 5, 5, 6, 6, 7, 7};
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(At(p, i, 0)[0] - 1 - int(11 * i), expected[i]) << i;
  const ProofPicture far = plate.Render(lens, Viewpoint{});
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(At(far, i, 0)[0] - 1 - int(11 * i), 5) << i;
}

TEST(ProofRenderer, ProportionsFollowThePlateInInches) {
  struct Case {
    uint32_t width, height;
    Real xDpi, yDpi;
    LensDirection direction;
    uint32_t proofWidth, proofHeight;
  };
  const Case cases[] = {
      {100, 50, 100, 50, LensDirection::kVertical, 10, 10},     // 1 x 1 inch, compress 2
      {200, 30, 100, 10, LensDirection::kVertical, 20, 30},     // 2 x 3 inches
      {105, 50, 100, 50, LensDirection::kVertical, 10, 10},     // 10.5 lenses: ties to even
      {115, 50, 100, 50, LensDirection::kVertical, 12, 10},     // 11.5 lenses: ties to even
      {100, 3, 100, 100, LensDirection::kVertical, 10, 1},      // at least one row
      {100, 5, 100, 2, LensDirection::kVertical, 10, 25},       // 2.5 inches in 5 rows
      {30, 200, 10, 100, LensDirection::kHorizontal, 30, 20},   // 3 wide, 2 high
  };
  for (const Case& c : cases) {
    const TestPlate plate(c.width, c.height, c.xDpi, c.yDpi);
    LensModel lens = ElevenPixelLens(c.direction);
    const ProofPicture p = plate.Render(lens, Viewpoint{});
    EXPECT_EQ(p.width, c.proofWidth) << c.width << " x " << c.height;
    EXPECT_EQ(p.height, c.proofHeight) << c.width << " x " << c.height;
  }
}

// A plate compressed below the lens pitch: each of its 5 rows (2.5 inches)
// makes 5 proof rows; across horizontal lenses its 4 columns make 20.
TEST(ProofRenderer, RepeatsThePixelsOfAPlateCompressedBelowThePitch) {
  const TestPlate plate(110, 5, 110, 2);
  const ProofPicture p = plate.Render(ElevenPixelLens(LensDirection::kVertical), Viewpoint{});
  ASSERT_EQ(p.height, 25u);
  for (uint32_t y = 0; y < 25; ++y) EXPECT_EQ(At(p, 3, y)[1], y / 5) << y;
  const TestPlate turned(4, 110, 2, 110);
  const ProofPicture q = turned.Render(ElevenPixelLens(LensDirection::kHorizontal), Viewpoint{});
  ASSERT_EQ(q.width, 20u);
  for (uint32_t x = 0; x < 20; ++x) EXPECT_EQ(At(q, x, 3)[0], x / 5 + 1) << x;
}

TEST(LensProblem, NamesALensThePlateCannotHold) {
  struct Case {
    Real xDpi, yDpi, lpi;
    LensDirection direction;
    const char* problem;
  };
  const Case cases[] = {
      {100, 100, 50, LensDirection::kVertical, ""},
      {100, 100, 60, LensDirection::kVertical,
       "at 60 LPI a lens covers 1.67 pixels of the plate (100 dpi across the lenses); a proof needs at least 2"},
      {100, 30, 20, LensDirection::kHorizontal,
       "at 20 LPI a lens covers 1.5 pixels of the plate (30 dpi across the lenses); a proof needs at least 2"},
      {100, 30, 20, LensDirection::kVertical, ""},
      {100, 100, 0.4L, LensDirection::kVertical, "the plate is narrower than one lens at 0.4 LPI (1 inches across the lenses)"},
  };
  for (const Case& c : cases) {
    PlateFrame frame;
    frame.width = 100;
    frame.height = 100;
    frame.xDpi = c.xDpi;
    frame.yDpi = c.yDpi;
    LensModel lens;
    lens.lpi = c.lpi;
    lens.direction = c.direction;
    EXPECT_EQ(LensProblem(frame, lens), QString::fromLatin1(c.problem));
  }
  PlateFrame huge;
  huge.width = huge.height = 4000000;
  huge.xDpi = huge.yDpi = 100;
  LensModel lens;
  lens.lpi = 50;
  EXPECT_EQ(LensProblem(huge, lens), QStringLiteral("its proof would be 2000000 x 2000000 samples, more than a proof holds"));
}

// Rows are taken top to bottom: a vertical proof needs every row, a
// horizontal one every row a lens shows; the renderer says which is missing
// rather than hand out a picture with holes.
TEST(ProofRenderer, RefusesRowsOutOfOrderOrMissing) {
  const TestPlate vertical(110, 50, 110, 50);
  ProofRenderer skipped(vertical.frame, ElevenPixelLens(LensDirection::kVertical), Viewpoint{});
  skipped.TakeRow(0, vertical.Row(0).data());
  EXPECT_EQ(ErrorOf([&] { skipped.TakeRow(2, vertical.Row(2).data()); }),
            "The proof was given plate row 2 out of order (a fault in this program)");
  ProofRenderer early(vertical.frame, ElevenPixelLens(LensDirection::kVertical), Viewpoint{});
  early.TakeRow(0, vertical.Row(0).data());
  EXPECT_EQ(ErrorOf([&] { early.Finish(); }), "The proof was not given plate row 1 (a fault in this program)");

  const TestPlate horizontal(50, 110, 50, 110);
  ProofRenderer turned(horizontal.frame, ElevenPixelLens(LensDirection::kHorizontal), Viewpoint{});
  EXPECT_FALSE(turned.Wants(4));
  EXPECT_TRUE(turned.Wants(5));
  EXPECT_EQ(ErrorOf([&] { turned.TakeRow(16, horizontal.Row(16).data()); }),
            "The proof was given plate row 5 out of order (a fault in this program)");
  ProofRenderer unfinished(horizontal.frame, ElevenPixelLens(LensDirection::kHorizontal), Viewpoint{});
  unfinished.TakeRow(5, horizontal.Row(5).data());
  EXPECT_EQ(ErrorOf([&] { unfinished.Finish(); }), "The proof was not given plate row 16 (a fault in this program)");
}

TEST(ProofRenderer, RefusesALensItCannotModel) {
  const TestPlate plate(110, 50, 110, 50);
  LensModel flat = ElevenPixelLens(LensDirection::kVertical);
  flat.index = 0.5L;
  EXPECT_EQ(ErrorOf([&] { ProofRenderer(plate.frame, flat, Viewpoint{}); }), "The lens's refractive index must be 1 or more");
  LensModel fine = ElevenPixelLens(LensDirection::kVertical);
  fine.lpi = 100;
  EXPECT_EQ(ErrorOf([&] { ProofRenderer(plate.frame, fine, Viewpoint{}); }),
            "No proof: at 100 LPI a lens covers 1.1 pixels of the plate (110 dpi across the lenses); a proof needs at least 2");
}

}  // namespace
}  // namespace plivora
