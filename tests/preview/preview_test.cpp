// The preview's rules below the window: colours, grey, the frames' scale and
// reduction, the playback order and the anaglyph's choice of views.
#include <QImage>
#include <algorithm>
#include <map>

#include "preview/anaglyph.h"
#include "preview/colour_rules.h"
#include "preview/frames.h"
#include "preview/playback.h"
#include "sample/view_writer.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::MakePixels;
using test::TempDir;
using test::Uniform;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};
void PrintTo(const Rgb& c, std::ostream* os) { *os << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

Rgb At(const QImage& picture, int x, int y) {
  const uint8_t* px = picture.constScanLine(y) + size_t(x) * 3;
  return {px[0], px[1], px[2]};
}

QImage RgbPicture(const std::vector<Rgb>& pixels) {
  QImage picture(int(pixels.size()), 1, kPictureFormat);
  for (size_t i = 0; i < pixels.size(); ++i) {
    uint8_t* px = picture.scanLine(0) + i * 3;
    px[0] = uint8_t(pixels[i].r), px[1] = uint8_t(pixels[i].g), px[2] = uint8_t(pixels[i].b);
  }
  return picture;
}

TEST(ColourRules, CmykToRgbTakesEachInkAndBlackAwayFromWhite) {
  const std::vector<std::pair<std::vector<uint8_t>, Rgb>> cases = {
      {{0, 0, 0, 0}, {255, 255, 255}},      // no ink is paper white
      {{0, 0, 0, 255}, {0, 0, 0}},          // full black, whatever the rest
      {{200, 100, 50, 255}, {0, 0, 0}},
      {{100, 40, 255, 50}, {105, 165, 0}},
      {{200, 0, 0, 100}, {0, 155, 155}},    // below 0 stays 0
      {{1, 2, 3, 4}, {250, 249, 248}},
  };
  QImage cmyk(int(cases.size()), 2, kCmykFormat);
  for (int y = 0; y < 2; ++y)
    for (size_t i = 0; i < cases.size(); ++i) std::copy_n(cases[i].first.begin(), 4, cmyk.scanLine(y) + i * 4);
  QImage rgb(7, 7, kPictureFormat);
  CmykToRgb(cmyk, rgb);
  ASSERT_EQ(rgb.format(), kPictureFormat);
  ASSERT_EQ(rgb.size(), cmyk.size());
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(At(rgb, int(i), 1), cases[i].second) << i;
}

TEST(ColourRules, ToGrayRoundsTiesToEven) {
  // 0.3 x 255 = 76.5 and 0.3 x 15 = 4.5 go down to the even neighbour,
  // 0.3 x 5 = 1.5 goes up; 0.59 x 50 is just below 29.5.
  QImage picture = RgbPicture({{255, 255, 255}, {0, 0, 0}, {10, 20, 30}, {255, 0, 0}, {15, 0, 0},
                               {5, 0, 0}, {0, 2, 12}, {0, 50, 0}, {0, 0, 255}});
  ToGray(picture);
  const int expected[] = {255, 0, 18, 76, 4, 2, 2, 29, 28};
  for (int i = 0; i < picture.width(); ++i) EXPECT_EQ(At(picture, i, 0), (Rgb{expected[i], expected[i], expected[i]})) << i;
}

TEST(FrameScale, FirstViewSetsScaleAndFrameSize) {
  EXPECT_EQ(ScaleForWidth(3000), 75000);
  EXPECT_EQ(ReducedSize(3000, 2000, 75000), QSize(400, 267));
  EXPECT_EQ(ReducedSize(1500, 1000, 75000), QSize(200, 133));  // a later view, same factor
  // 400 x 25 / 32 = 312.5 and 400 x 75 / 32 = 937.5: ties to even.
  EXPECT_EQ(ScaleForWidth(32), 800);
  EXPECT_EQ(ReducedSize(32, 25, 800), QSize(400, 312));
  EXPECT_EQ(ReducedSize(32, 75, 800), QSize(400, 938));
  // A side that would round to nothing keeps one pixel.
  EXPECT_EQ(ReducedSize(3000, 1, 75000), QSize(400, 1));
}

TEST(FrameScale, ReductionPicksPixelsAndCarriesAllFourBytes) {
  // 600 across reduces by 1.5: columns 0, 1, 3, 4, 6, ... and rows 0, 1.
  QImage view(600, 3, kCmykFormat);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 600; ++x) {
      uint8_t* px = view.scanLine(y) + x * 4;
      px[0] = uint8_t(x), px[1] = uint8_t(x >> 8), px[2] = uint8_t(y), px[3] = 0xA5;
    }
  FrameScale scale;
  const QImage reduced = ReduceView(view, scale);
  EXPECT_EQ(scale.S, 15000);
  ASSERT_EQ(reduced.size(), QSize(400, 2));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 400; ++x) {
      const uint8_t* px = reduced.constScanLine(y) + x * 4;
      const int source = x * 3 / 2;
      ASSERT_EQ(px[0] | px[1] << 8, source) << x;
      ASSERT_EQ(px[2], y * 3 / 2);
      ASSERT_EQ(px[3], 0xA5);
    }
}

std::vector<uint8_t> Pattern(uint32_t width, uint32_t height) {
  return MakePixels(width, height, [](uint32_t x, uint32_t y) {
    return std::vector<uint8_t>{uint8_t(x), uint8_t(y), uint8_t(x ^ y), 0};
  });
}
Rgb PatternRgb(int x, int y) { return {255 - (x & 255), 255 - (y & 255), 255 - ((x ^ y) & 255)}; }

TEST(Frames, LaterViewsAreCutOrPaddedTopLeftAtTheFirstViewsScale) {
  TempDir dir;
  WriteViewFile(dir.path("1.tif"), 800, 600, Uniform(800, 600, 0, 0, 0, 255));
  WriteViewFile(dir.path("2.tif"), 400, 200, Pattern(400, 200));   // reduces to 200 x 100
  WriteViewFile(dir.path("3.tif"), 1600, 1400, Pattern(1600, 1400));  // to 800 x 700
  const auto frames = BuildFrames({dir.path("1.tif"), dir.path("2.tif"), dir.path("3.tif")}, false);
  ASSERT_EQ(frames.size(), 3u);
  for (const QImage& frame : frames) {
    ASSERT_EQ(frame.size(), QSize(400, 300));
    ASSERT_EQ(frame.format(), kPictureFormat);
  }
  EXPECT_EQ(At(frames[0], 399, 299), (Rgb{0, 0, 0}));
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) {
      const Rgb smaller = x < 200 && y < 100 ? PatternRgb(2 * x, 2 * y) : Rgb{255, 255, 255};
      ASSERT_EQ(At(frames[1], x, y), smaller) << x << "," << y;
      ASSERT_EQ(At(frames[2], x, y), PatternRgb(2 * x, 2 * y)) << x << "," << y;
    }
}

// Frames are built side by side: any thread count gives the same frames in
// list order, and of several unreadable views the first in the list is named.
TEST(Frames, ThreadsGiveTheSameFramesAndNameTheFirstFailure) {
  TempDir dir;
  QStringList paths;
  for (int i = 0; i < 7; ++i) {
    paths << dir.path(QStringLiteral("%1.tif").arg(i));
    WriteViewFile(paths.back(), 400, 300, Uniform(400, 300, uint8_t(30 * i), uint8_t(200 - 20 * i), 0, 0));
  }
  qputenv("PLIVORA_THREADS", "1");
  const auto one = BuildFrames(paths, false);
  qputenv("PLIVORA_THREADS", "3");
  const auto three = BuildFrames(paths, false);
  ASSERT_EQ(one.size(), 7u);
  for (size_t i = 0; i < 7; ++i) EXPECT_TRUE(one[i] == three[i]) << i;
  EXPECT_FALSE(one[1] == one[2]);
  paths[6] = dir.path("missing6.tif");
  paths[3] = dir.path("missing3.tif");
  EXPECT_TRUE(ErrorOf([&] { BuildFrames(paths, false); }).contains("missing3.tif"));
  qunsetenv("PLIVORA_THREADS");
}

TEST(Frames, NegativeSeriesIsShownInvertedBack) {
  TempDir dir;
  WriteViewFile(dir.path("a.tif"), 40, 30, Pattern(40, 30));
  WriteViewFile(dir.path("a.gjs"), 40, 30, Pattern(40, 30), true);
  const auto plain = BuildFrames({dir.path("a.tif")}, false);
  const auto negative = BuildFrames({dir.path("a.gjs")}, true);
  EXPECT_EQ(negative.at(0), plain.at(0));
  EXPECT_EQ(At(plain[0], 10, 0), PatternRgb(10 * 40 / 400, 0));
}

// RGB and grey views show their own colours, in a negative series too (only
// inks are stored inverted), and a smaller one is padded with white paper.
TEST(Frames, RgbAndGreyViewsShowAsTheyAre) {
  TempDir dir;
  QImage rgb(400, 2, QImage::Format_RGB888), grey(400, 2, QImage::Format_Grayscale8), small(200, 1, QImage::Format_RGB888);
  for (int x = 0; x < 400; ++x)
    for (int y = 0; y < 2; ++y) {
      rgb.setPixel(x, y, qRgb(x & 255, 10 + y, 255 - (x & 255)));
      grey.setPixel(x, y, qRgb(x & 255, x & 255, x & 255));
      if (x < 200 && y < 1) small.setPixel(x, y, qRgb(7, 8, 9));
    }
  ASSERT_TRUE(rgb.save(dir.path("rgb.png")) && grey.save(dir.path("grey.png")) && small.save(dir.path("small.png")));
  for (const bool negative : {false, true}) {
    const auto frames = BuildFrames({dir.path("rgb.png"), dir.path("grey.png"), dir.path("small.png")}, negative);
    ASSERT_EQ(frames.at(0).size(), QSize(400, 2));
    const std::map<std::pair<int, int>, std::vector<Rgb>> expected = {
        {{0, 0}, {{0, 10, 255}, {0, 0, 0}, {7, 8, 9}}},
        {{300, 1}, {{44, 11, 211}, {44, 44, 44}, {255, 255, 255}}},
    };
    for (const auto& [at, colours] : expected)
      for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(At(frames[i], at.first, at.second), colours[i]) << negative << " view " << i << " at " << at.first;
  }
}

// Views of 3000 x 2000 pixels, for the frames and the anaglyph alike.
TEST(Frames, LargeViewsGiveFramesAndAnaglyphsOf400By267) {
  TempDir dir;
  const QString paper = dir.path("paper.tif"), black = dir.path("black.tif");
  WriteViewFile(paper, 3000, 2000, Uniform(3000, 2000, 0, 0, 0, 0));
  WriteViewFile(black, 3000, 2000, Uniform(3000, 2000, 17, 80, 200, 255));
  const auto frames = BuildFrames({paper, black}, false);
  ASSERT_EQ(frames.at(0).size(), QSize(400, 267));
  ASSERT_EQ(frames.at(1).size(), QSize(400, 267));
  const std::map<std::pair<QString, QString>, Rgb> expected = {
      {{paper, paper}, {255, 255, 255}}, {{black, black}, {0, 0, 0}}, {{paper, black}, {0, 255, 255}}};
  for (const auto& [views, colour] : expected) {
    const QImage anaglyph = BuildAnaglyph(views.first, views.second, false);
    ASSERT_EQ(anaglyph.size(), QSize(400, 267));
    EXPECT_EQ(At(anaglyph, 0, 0), colour);
    EXPECT_EQ(At(anaglyph, 399, 266), colour);
  }
}

std::vector<int64_t> Frames(int64_t n, int steps) {
  std::vector<int64_t> shown;
  int64_t k = 0;
  for (int i = 0; i < steps; ++i) {
    k = NextPlaybackStep(k, n);
    shown.push_back(PlaybackFrame(k, n));
  }
  return shown;
}

TEST(Playback, ForwardThenBackWithTheEndsShownTwice) {
  EXPECT_EQ(Frames(2, 8), (std::vector<int64_t>{1, 2, 2, 1, 1, 2, 2, 1}));
  EXPECT_EQ(Frames(4, 10), (std::vector<int64_t>{1, 2, 3, 4, 4, 3, 2, 1, 1, 2}));
  EXPECT_EQ(Frames(1, 4), (std::vector<int64_t>{1, 1, 1, 1}));
}

TEST(Playback, LongSeriesKeepTheCycleAndStayInsideTheFrames) {
  // An 8-bit counter can't reach 2N + 1 from 128 views on, and 256 views
  // would count as 0.
  for (int64_t n : {127, 128, 200, 255, 256, 300, 1000}) {
    const auto shown = Frames(n, int(6 * n));
    std::vector<int> times(size_t(n) + 1);
    for (int64_t f : shown) {
      ASSERT_TRUE(f >= 1 && f <= n) << n << ": frame " << f;
      ++times[size_t(f)];
    }
    EXPECT_TRUE(std::all_of(times.begin() + 1, times.end(), [](int t) { return t == 6; })) << n;
    EXPECT_EQ(shown[size_t(n - 1)], n);
    EXPECT_EQ(shown[size_t(n)], n);
    EXPECT_EQ(shown[size_t(2 * n)], 1);
  }
}

TEST(Anaglyph, ViewsAroundTheMiddle) {
  // N -> views a, b numbered from 1; N / 6 of 0.5, 1.5, 2.5 goes to even.
  const std::map<int64_t, std::pair<int64_t, int64_t>> table = {
      {2, {1, 2}},  {3, {1, 2}},  {4, {1, 4}},  {5, {1, 4}},  {6, {2, 5}},   {7, {2, 5}},
      {8, {3, 6}},  {9, {2, 7}},  {10, {3, 8}}, {12, {4, 9}}, {15, {5, 10}}, {16, {5, 12}}};
  for (const auto& [n, views] : table) {
    const auto chosen = ChooseAnaglyphViews(n);
    ASSERT_TRUE(chosen) << n;
    EXPECT_EQ(chosen->a + 1, views.first) << n;
    EXPECT_EQ(chosen->b + 1, views.second) << n;
  }
  EXPECT_FALSE(ChooseAnaglyphViews(1));
  EXPECT_FALSE(ChooseAnaglyphViews(0));
  const auto wide = ChooseAnaglyphViews(300);  // no 8-bit wrap
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->a, 99);
  EXPECT_EQ(wide->b, 200);
}

}  // namespace
}  // namespace plivora
