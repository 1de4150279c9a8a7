// Views made from a picture and its depth map: a near square on a far
// background moves as the scene would, the warp leaves holes exactly where
// the square hid the background, and those are filled from the background.
#include "series/depth_views.h"

#include <cstring>

#include "series/layered_views.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

class MemoryPicture final : public SourceReader {
 public:
  MemoryPicture(QString path, uint32_t w, uint32_t h, ColourModel model, std::vector<uint8_t> pixels)
      : pixels_(std::move(pixels)) {
    image_.Path = std::move(path);
    image_.Width = w;
    image_.Height = h;
    image_.Model = model;
  }
  void ReadRow(uint32_t row, uint8_t* dest) override {
    std::memcpy(dest, pixels_.data() + size_t(row) * image_.Width * 4, size_t(image_.Width) * 4);
  }

 private:
  std::vector<uint8_t> pixels_;
};

// The background's true colour at (x, y), also where the square hides it,
// and the square's: the two never meet.
void Background(int64_t x, uint32_t y, uint8_t* p) {
  p[0] = uint8_t(x * 5 % 200);
  p[1] = uint8_t(y);
  p[2] = 0;
  p[3] = 0;
}
void Square(int64_t x, uint32_t y, uint8_t* p) {
  p[0] = uint8_t(x);
  p[1] = uint8_t(y);
  p[2] = 250;
  p[3] = 0;
}

struct Scene {
  uint32_t w = 60, h = 6;
  int64_t left = 20, right = 32;  // the square's columns
  uint32_t top = 1, bottom = 5;   // and rows
  bool InSquare(int64_t x, uint32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

TEST(DepthViews, ASquareInFrontMovesAndWhatItUncoversIsBackground) {
  struct Case {
    const char* name;
    Real depth;      // lens widths between black and white
    Real pixelsPerLens;
    int frames;
  };
  const std::vector<Case> cases = {
      {"square in front, background behind", 4, 5, 5},
      {"large depth", 12, 3, 7},
      {"reversed depth", -6, 4, 4},
  };
  const Scene s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> picture(size_t(s.w) * s.h * 4), map(picture.size());
    for (uint32_t y = 0; y < s.h; ++y)
      for (uint32_t x = 0; x < s.w; ++x) {
        uint8_t* p = &picture[(size_t(y) * s.w + x) * 4];
        s.InSquare(x, y) ? Square(x, y, p) : Background(x, y, p);
        const uint8_t g = s.InSquare(x, y) ? 255 : 0;
        std::memset(&map[(size_t(y) * s.w + x) * 4], g, 3);
      }
    MemoryPicture pic(QStringLiteral("photo.png"), s.w, s.h, ColourModel::kRgb, picture);
    const DepthScale scale{c.depth, 128, c.pixelsPerLens, c.frames};
    auto views = OpenDepthViews(pic, std::make_unique<MemoryPicture>(QStringLiteral("map.png"), s.w, s.h, ColourModel::kGrey, map), scale);
    std::vector<uint8_t> row(size_t(s.w) * 4);
    for (uint32_t y = 0; y < s.h; ++y)
      for (int k = 1; k <= c.frames; ++k) {
        views[size_t(k) - 1]->ReadRow(y, row.data());
        const int64_t far = DepthShift(scale, 0, k), near = DepthShift(scale, 255, k);
        // The exact render: the square where it moved to, the whole
        // background (hidden parts too) behind it; -1: nothing known there
        // (past the picture's edge).
        std::vector<int> uncovered(s.w, 0);
        for (int64_t t = 0; t < s.w; ++t) {
          uint8_t truth[4];
          const bool square = s.InSquare(t + near, y);
          const int64_t from = t + far;
          if (square) Square(t + near, y, truth);
          else Background(from, y, truth);
          // Uncovered: background the picture does not show (under the
          // square, or past its edge).
          uncovered[size_t(t)] = !square && (from < 0 || from >= s.w || s.InSquare(from, y));
          if (uncovered[size_t(t)]) continue;
          EXPECT_EQ(0, std::memcmp(&row[size_t(t) * 4], truth, 4)) << "view " << k << " row " << y << " column " << t;
        }
        // The warp's holes are exactly the uncovered columns...
        std::vector<uint8_t> greys(s.w), warped(row.size());
        std::vector<int16_t> nearest(s.w);
        std::vector<int64_t> shifts(256);
        for (int g = 0; g < 256; ++g) shifts[size_t(g)] = DepthShift(scale, g, k);
        for (uint32_t x = 0; x < s.w; ++x) greys[x] = map[(size_t(y) * s.w + x) * 4];
        WarpRow(&picture[size_t(y) * s.w * 4], greys.data(), s.w, shifts.data(), warped.data(), nearest.data());
        EXPECT_EQ(warped, row);
        for (uint32_t t = 0; t < s.w; ++t)
          EXPECT_EQ(nearest[t] < 0, uncovered[t] != 0) << "view " << k << " row " << y << " column " << t;
        // ... and each is filled with the background beside its run.
        for (int64_t t = 0; t < s.w; ++t) {
          if (!uncovered[size_t(t)]) continue;
          int64_t l = t, r = t;
          while (l >= 0 && uncovered[size_t(l)]) --l;
          while (r < s.w && uncovered[size_t(r)]) ++r;
          const bool leftIsBackground = l >= 0 && !s.InSquare(l + near, y);
          const int64_t from = leftIsBackground || r >= s.w ? l : r;
          ASSERT_GE(from, 0);
          EXPECT_FALSE(s.InSquare(from + near, y)) << "filled from the square at column " << t;
          EXPECT_EQ(0, std::memcmp(&row[size_t(t) * 4], &row[size_t(from) * 4], 4)) << "view " << k << " column " << t;
        }
      }
  }
}

TEST(DepthViews, APixelsShiftFollowsItsGreyAgainstTheKey) {
  struct Case {
    int g, key;
    Real depth, pixelsPerLens;
    int k, frames;
    int64_t shift;
  };
  const std::vector<Case> cases = {
      {128, 128, 10, 7, 1, 5, 0},       // on the key plane: still
      {255, 0, 2, 10, 5, 5, 10},        // white, two lens widths in front: half of 20 pixels leftwards
      {255, 0, 2, 10, 1, 5, -10},
      {0, 255, 2, 10, 5, 5, -10},       // black behind: rightwards in the last view
      {51, 0, 5, 4, 4, 4, 2},           // 1 lens width x 4 px, half of it: 2
  };
  for (const Case& c : cases)
    EXPECT_EQ(DepthShift({c.depth, c.key, c.pixelsPerLens, c.frames}, c.g, c.k), c.shift) << c.g << " key " << c.key;
}

TEST(DepthViews, AMapOfAnotherSizeOrNotGreyOrTooDeepIsRefusedByName) {
  MemoryPicture pic(QStringLiteral("photo.png"), 20, 10, ColourModel::kRgb, std::vector<uint8_t>(20 * 10 * 4, 9));
  const DepthScale scale{1, 128, 4, 5};
  struct Case {
    uint32_t w, h;
    ColourModel model;
    Real depth;
    const char* says;
  };
  const std::vector<Case> cases = {{20, 11, ColourModel::kGrey, 1, "20 x 10 pixels"},
                                   {19, 10, ColourModel::kGrey, 1, "19 x 10"},
                                   {20, 10, ColourModel::kRgb, 1, "greyscale"},
                                   {20, 10, ColourModel::kGrey, 20, "leaves nothing"}};
  for (const Case& c : cases) {
    DepthScale deep = scale;
    deep.depth = c.depth;
    auto map = std::make_unique<MemoryPicture>(QStringLiteral("depth.png"), c.w, c.h, c.model, std::vector<uint8_t>(size_t(c.w) * c.h * 4, 0));
    const QString error = ErrorOf([&] { OpenDepthViews(pic, std::move(map), deep); });
    EXPECT_TRUE(error.contains(QLatin1String("depth.png"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
  }
  auto fine = std::make_unique<MemoryPicture>(QStringLiteral("depth.png"), 20, 10, ColourModel::kGrey, std::vector<uint8_t>(800, 0));
  EXPECT_EQ(OpenDepthViews(pic, std::move(fine), scale).size(), 5u);
}

}  // namespace
}  // namespace plivora
