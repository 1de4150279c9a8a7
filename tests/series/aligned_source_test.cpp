// Views read through their shifts and turns: whole shifts copy exactly,
// fractional ones and turns move the content where the transform says,
// and listings of one file shifted apart read it once, top to bottom.
#include "series/aligned_source.h"

#include <cmath>
#include <cstring>
#include <random>

#include "sample/view_writer.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

// A view held in memory that checks the reader contract: rows top to bottom.
class MemoryView final : public SourceReader {
 public:
  MemoryView(uint32_t width, uint32_t height, std::vector<uint8_t> pixels) : pixels_(std::move(pixels)) {
    image_.Path = QStringLiteral("memory.tif");
    image_.Width = width;
    image_.Height = height;
  }
  void ReadRow(uint32_t row, uint8_t* dest) override {
    EXPECT_GE(int64_t(row), last_) << "a row above the one asked for before";
    EXPECT_LT(row, image_.Height);
    reads += row == last_ ? 0 : 1;
    last_ = row;
    std::memcpy(dest, pixels_.data() + size_t(row) * image_.Width * 4, size_t(image_.Width) * 4);
  }
  int reads = 0;

 private:
  std::vector<uint8_t> pixels_;
  int64_t last_ = -1;
};

std::vector<uint8_t> Noise(uint32_t width, uint32_t height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> pixels(size_t(width) * height * 4);
  for (uint8_t& b : pixels) b = uint8_t(random());
  return pixels;
}

std::vector<std::vector<uint8_t>> ReadAll(SourceReader& reader) {
  std::vector<std::vector<uint8_t>> rows(reader.image().Height, std::vector<uint8_t>(size_t(reader.image().Width) * 4));
  for (uint32_t y = 0; y < reader.image().Height; ++y) reader.ReadRow(y, rows[y].data());
  return rows;
}

std::unique_ptr<SourceReader> Aligned(uint32_t w, uint32_t h, std::vector<uint8_t> pixels, const ViewTransform& t,
                                      FilterPath path = DefaultFilterPath()) {
  const CommonArea area = CommonAreaOf({{w, h, t}});
  auto rows = std::make_shared<SharedRows>(std::make_unique<MemoryView>(w, h, std::move(pixels)));
  return OpenAlignedSource(rows, t, area, path);
}

// A series with whole shifts equals its views cut and shifted beforehand,
// byte for byte, and is cut to the views' intersection: listings of one
// file shifted apart included.
TEST(AlignedSource, WholeShiftsEqualTheViewsCutBeforehand) {
  struct View {
    int file;  // the file it lists
    int64_t dx, dy;
  };
  struct Case {
    const char* name;
    std::vector<std::pair<uint32_t, uint32_t>> files;  // sizes
    std::vector<View> views;
    CommonArea area;
  };
  const std::vector<Case> cases = {
      {"three shifted", {{40, 30}, {40, 30}, {40, 30}}, {{0, 0, 0}, {1, 3, -2}, {2, -5, 4}}, {3, 4, 32, 24}},
      {"sizes differ", {{40, 30}, {36, 32}}, {{0, 0, 0}, {1, 2, -3}}, {2, 0, 36, 29}},
      {"one file shifted apart", {{40, 30}, {40, 30}}, {{0, 0, 5}, {1, 1, 0}, {0, 0, -5}}, {1, 5, 39, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    std::vector<std::vector<uint8_t>> pixels;
    for (size_t f = 0; f < c.files.size(); ++f) {
      pixels.push_back(Noise(c.files[f].first, c.files[f].second, unsigned(f)));
      WriteViewFile(dir.path(QStringLiteral("v%1.tif").arg(f)), c.files[f].first, c.files[f].second, pixels.back());
    }
    ViewSet views;
    std::vector<ViewTransform> transforms;
    for (const View& v : c.views) {
      views.Add(dir.path(QStringLiteral("v%1.tif").arg(v.file)));
      transforms.push_back({Real(v.dx), Real(v.dy), 0});
    }
    const CommonArea area = CommonAreaOf(views, transforms);
    ASSERT_EQ(area, c.area);
    AlignViews(views, transforms, area);
    std::vector<uint8_t> row(size_t(area.width) * 4), cut(row.size());
    for (uint32_t y = 0; y < area.height; ++y)
      for (size_t i = 0; i < c.views.size(); ++i) {
        const View& v = c.views[i];
        const uint32_t fileWidth = c.files[size_t(v.file)].first;
        const size_t from = (size_t(area.top + y - v.dy) * fileWidth + size_t(area.left - v.dx)) * 4;
        std::memcpy(cut.data(), pixels[size_t(v.file)].data() + from, cut.size());
        views[i].ReadRow(y, row.data());
        ASSERT_EQ(row, cut) << "view " << i << " row " << y;
      }
  }
}

// The centre of a small round spot, as the aligned view shows it, lies
// where the transform takes it: shifts right and down, turns anticlockwise
// as seen (a spot right of the centre rises).
TEST(AlignedSource, ContentMovesWhereTheTransformSays) {
  constexpr uint32_t kW = 201, kH = 151;  // centre (100, 75)
  struct Case {
    Real spotX, spotY;
    ViewTransform t;
    Real expectX, expectY;  // on the reference grid
  };
  const std::vector<Case> cases = {
      {60, 50, {2.5L, 0, 0}, 62.5L, 50},
      {60, 50, {0, -1.25L, 0}, 60, 48.75L},
      {60, 50, {0.3L, 0.7L, 0}, 60.3L, 50.7L},
      {180, 75, {0, 0, 3}, 179.89036L, 70.81312L},   // 80 right of the centre: up by 80 sin 3
      {180, 75, {0, 0, -3}, 179.89036L, 79.18688L},
      {100, 135, {0, 0, 2}, 102.09397L, 134.96345L},  // 60 below: to the right
      {150, 40, {1.5L, -2.25L, 1}, 150.88155L, 36.88271L},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.t.dx << " " << c.t.dy << " " << c.t.turn);
    const auto spot = test::MakePixels(kW, kH, [&](uint32_t x, uint32_t y) {
      const Real d2 = (Real(x) - c.spotX) * (Real(x) - c.spotX) + (Real(y) - c.spotY) * (Real(y) - c.spotY);
      return std::vector<uint8_t>{uint8_t(Round(200 * std::exp(-d2 / 8))), 0, 0, 0};
    });
    const CommonArea area = CommonAreaOf({{kW, kH, c.t}});
    auto reader = Aligned(kW, kH, spot, c.t);
    const auto rows = ReadAll(*reader);
    Real sum = 0, sx = 0, sy = 0;
    for (uint32_t y = 0; y < area.height; ++y)
      for (uint32_t x = 0; x < area.width; ++x) {
        const Real v = rows[y][x * 4];
        sum += v;
        sx += v * Real(int64_t(x) + area.left);
        sy += v * Real(int64_t(y) + area.top);
      }
    EXPECT_NEAR(double(sx / sum), double(c.expectX), 0.02);
    EXPECT_NEAR(double(sy / sum), double(c.expectY), 0.02);
  }
}

// The vector path (runs of eight columns with one phase, the last eight
// done again) gives the scalar path's bytes, at the view's edges too.
TEST(AlignedSource, VectorAndScalarPathsGiveTheSameBytes) {
  const std::vector<std::pair<uint32_t, uint32_t>> sizes = {{97, 61}, {9, 40}, {300, 20}};
  const std::vector<ViewTransform> transforms = {
      {0.5L, 0, 0}, {0, 0.375L, 0}, {-3.2L, 1.7L, 0}, {0, 0, 2.5L}, {4.4L, -0.9L, -4.9L}, {0, 0, 0.01L}, {0.2L, 0, 0.6L}};
  if (DefaultFilterPath() != FilterPath::kVector) GTEST_SKIP() << "this processor has no vector path";
  for (const auto& [w, h] : sizes)
    for (const ViewTransform& t : transforms) {
      if (t.turn != 0 && w < 20) continue;  // the area a turn leaves of a narrow view is narrower than eight
      SCOPED_TRACE(testing::Message() << w << "x" << h << ": " << t.dx << " " << t.dy << " " << t.turn);
      EXPECT_EQ(ReadAll(*Aligned(w, h, Noise(w, h, 7), t, FilterPath::kVector)),
                ReadAll(*Aligned(w, h, Noise(w, h, 7), t, FilterPath::kScalar)));
    }
}

// Two listings of one file, shifted 15 rows apart and turned, read in step:
// each gets what it gets alone, the file is read once, top to bottom, and
// the band holds the rows between the two and no more.
TEST(AlignedSource, ListingsShiftedApartShareTheFile) {
  constexpr uint32_t kW = 120, kH = 90;
  const ViewTransform up{0.25L, -7.5L, 1}, down{-0.5L, 7.5L, -1};
  const CommonArea area = CommonAreaOf({{kW, kH, up}, {kW, kH, down}});
  auto file = std::make_unique<MemoryView>(kW, kH, Noise(kW, kH, 3));
  MemoryView& counted = *file;
  auto rows = std::make_shared<SharedRows>(std::move(file));
  auto a = OpenAlignedSource(rows, up, area), b = OpenAlignedSource(rows, down, area);
  const auto alone = [&](const ViewTransform& t) {
    auto r = std::make_shared<SharedRows>(std::make_unique<MemoryView>(kW, kH, Noise(kW, kH, 3)));
    return ReadAll(*OpenAlignedSource(r, t, area));
  };
  const auto expectA = alone(up), expectB = alone(down);
  std::vector<uint8_t> row(size_t(area.width) * 4);
  size_t held = 0;
  for (uint32_t y = 0; y < area.height; ++y) {
    a->ReadRow(y, row.data());
    ASSERT_EQ(row, expectA[y]) << y;
    b->ReadRow(y, row.data());
    ASSERT_EQ(row, expectB[y]) << y;
    held = std::max(held, rows->Held());
  }
  EXPECT_LE(counted.reads, int(kH));
  EXPECT_LE(held, 15u + 4u);
}

// The area's corners lie inside every view as the definition places it
// (the view's corners turned about its centre, then shifted), and it cannot
// grow by a pixel on any side without leaving some view.
TEST(CommonArea, LiesInsideEveryViewAndCannotGrow) {
  using Views = std::vector<PlacedView>;
  const std::vector<Views> cases = {
      {{300, 200, {}}, {300, 200, {0, 0, 1}}},
      {{300, 200, {}}, {300, 200, {4.5L, -2, -2}}, {280, 210, {-3, 6, 0.5L}}},
      {{1500, 2250, {}}, {1500, 2250, {0, 0, 5}}},
  };
  const auto inside = [](const PlacedView& v, Real x, Real y) {
    const Real r = v.transform.turn * 3.14159265358979323846L / 180, c = std::cos(r), s = std::sin(r);
    const Real cx = Real(v.width - 1) / 2, cy = Real(v.height - 1) / 2;
    Real px[4], py[4];
    const Real corners[4][2] = {{0, 0}, {Real(v.width - 1), 0}, {Real(v.width - 1), Real(v.height - 1)}, {0, Real(v.height - 1)}};
    for (int k = 0; k < 4; ++k) {
      const Real qx = corners[k][0] - cx, qy = corners[k][1] - cy;
      px[k] = qx * c + qy * s + cx + v.transform.dx;
      py[k] = -qx * s + qy * c + cy + v.transform.dy;
    }
    for (int k = 0; k < 4; ++k) {  // on the inner side of every edge, with a hair's room
      const Real cross = (px[(k + 1) % 4] - px[k]) * (y - py[k]) - (py[(k + 1) % 4] - py[k]) * (x - px[k]);
      if (cross < -1e-6L) return false;
    }
    return true;
  };
  const auto covered = [&](const Views& views, int64_t l, int64_t t, int64_t r, int64_t b) {
    for (const PlacedView& v : views)
      for (const Real x : {Real(l), Real(r)})
        for (const Real y : {Real(t), Real(b)})
          if (!inside(v, x, y)) return false;
    return true;
  };
  for (const Views& views : cases) {
    const CommonArea a = CommonAreaOf(views);
    const int64_t l = a.left, t = a.top, r = a.left + a.width - 1, b = a.top + a.height - 1;
    SCOPED_TRACE(testing::Message() << l << " " << t << " " << r << " " << b);
    EXPECT_TRUE(covered(views, l, t, r, b));
    EXPECT_FALSE(covered(views, l - 1, t, r, b));
    EXPECT_FALSE(covered(views, l, t - 1, r, b));
    EXPECT_FALSE(covered(views, l, t, r + 1, b));
    EXPECT_FALSE(covered(views, l, t, r, b + 1));
  }
}

TEST(CommonArea, RefusesWhatCannotBeAligned) {
  EXPECT_EQ(ErrorOf([] { CheckViewTransform(QStringLiteral("v.tif"), {0, 0, 5.5L}); }),
            QStringLiteral("View \"v.tif\": a turn of 5.5 degrees is out of range (at most 5 degrees either way)"));
  EXPECT_EQ(ErrorOf([] { CheckViewTransform(QStringLiteral("v.tif"), {NAN, 1, 0}); }),
            QStringLiteral("View \"v.tif\": a shift of nan, 1 pixels is out of range (at most 1000000 pixels either way)"));
  EXPECT_EQ(ErrorOf([] { CommonAreaOf({{40, 30, {}}, {40, 30, {40, 0, 0}}}); }),
            QStringLiteral("The aligned views have no area in common: their shifts or turns are larger than the views"));
}

}  // namespace
}  // namespace plivora
