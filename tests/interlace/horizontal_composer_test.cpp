// A horizontal-lens plate is the vertical plate of the views turned a
// quarter turn and turned back: the composer of horizontal lenses against
// the vertical composer fed the transposed views.
#include "interlace/horizontal_composer.h"

#include <random>

#include "interlace/row_engine.h"
#include "support/test_support.h"

namespace plivora {
namespace {

struct View {
  uint32_t width, height;
  std::vector<uint8_t> pixels;  // 4 bytes a pixel, rows top to bottom
  View Transposed() const {
    View t{height, width, std::vector<uint8_t>(pixels.size())};
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        std::copy_n(&pixels[(size_t(y) * width + x) * 4], 4, &t.pixels[(size_t(x) * height + y) * 4]);
    return t;
  }
};

// Runs `composer` through an engine; returns the rows, `width` pixels each.
std::vector<uint8_t> Compose(ImageComposer& composer, const RowSetReader& read, unsigned threads) {
  std::vector<uint8_t> rows;
  const size_t width = composer.Width();
  RowEngine(threads).WriteRows(
      read, composer,
      [&](const uint8_t* in, size_t count, size_t stride) {
        for (size_t j = 0; j < count; ++j) rows.insert(rows.end(), in + j * stride, in + j * stride + 4 * width);
      },
      {0, width}, {});
  return rows;
}

// Views of two sizes whose every pixel differs, a fractional pitch, a
// compress factor and phases: for both rules, on 1 and 3 threads.
TEST(HorizontalComposer, IsTheVerticalPlateOfTheTurnedViewsTurnedBack) {
  std::mt19937 random(20);
  std::vector<View> views;
  for (const auto& [w, h] : {std::pair{41u, 29u}, std::pair{37u, 26u}, std::pair{41u, 29u}}) {
    View v{w, h, std::vector<uint8_t>(size_t(w) * h * 4)};
    for (uint8_t& b : v.pixels) b = uint8_t(random());
    views.push_back(v);
  }
  ExportTexts t;
  t.inch = true;
  t.dpi = QStringLiteral("600");
  t.lpi = QStringLiteral("39.5018");
  t.width = QStringLiteral("1.3");
  t.height = QStringLiteral("0.9");
  t.compress = QStringLiteral("3");
  const int n = int(views.size());
  const ExportParameters p = ParseParameters(t, n);
  const PlateGeometry plate = ComputePlate(p, Lenses::kHorizontal, 37, 26);
  ASSERT_EQ(plate.width, plate.lens.outputRows);
  ASSERT_EQ(plate.imageRows, plate.lens.outputWidth);
  std::vector<View> turned;
  std::vector<uint32_t> turnedWidths;
  for (const View& v : views) {
    turned.push_back(v.Transposed());
    turnedWidths.push_back(turned.back().width);
  }
  for (const int64_t shift : {0, 11}) {
    const ColumnViewMap map = BuildColumnViewMap(plate.lens, n, shift);
    for (const bool grey : {true, false}) {
      const PixelRule rule = grey ? PixelRule(GreyRule(false)) : PixelRule(InkRule(true));
      RowComposer vertical(plate.lens, map, turnedWidths, rule);
      const std::vector<uint8_t> expected = Compose(
          vertical,
          [&](uint32_t row, uint8_t* set) {
            for (size_t v = 0; v < turned.size(); ++v)
              std::copy_n(&turned[v].pixels[size_t(row) * turned[v].width * 4], turned[v].width * 4, set + vertical.ViewOffset(v));
          },
          1);
      for (const unsigned threads : {1u, 3u}) {
        HorizontalComposer horizontal(plate, map, 41, rule);
        const std::vector<uint8_t> got = Compose(
            horizontal,
            [&](uint32_t row, uint8_t* set) {
              const HorizontalComposer::Sources s = horizontal.SourcesOf(row);
              const View& a = views[size_t(s.view)];
              std::copy_n(&a.pixels[size_t(s.sourceRow) * a.width * 4], a.width * 4, set);
              if (s.needsNext) {
                const View& b = views[size_t(s.nextView)];
                std::copy_n(&b.pixels[size_t(s.sourceRow) * b.width * 4], b.width * 4, set + horizontal.NextSlot());
              }
            },
            threads);
        ASSERT_EQ(got.size(), expected.size());
        const auto w = size_t(plate.width), h = size_t(plate.imageRows);
        for (size_t y = 0; y < h; ++y)
          for (size_t x = 0; x < w; ++x)
            ASSERT_EQ(0, std::memcmp(&got[(y * w + x) * 4], &expected[(x * h + y) * 4], 4))
                << "shift " << shift << (grey ? ", grey" : ", inks") << ", " << threads << " threads, row " << y
                << ", column " << x;
      }
    }
  }
}

}  // namespace
}  // namespace plivora
