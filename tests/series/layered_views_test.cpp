// Views made from layers: whole-pixel movements give exactly the composite
// drawn by pasting every layer where it shows, fractional ones come within
// the filter's error of the true position, the views lose the columns the
// bottom layer's movement uncovers, and every layer row is read once.
#include "series/layered_views.h"

#include <cstring>

#include "series/paper_white.h"
#include "series/view_pixels.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

// A layer in memory in the RGB model: colours c and alpha a per pixel,
// handed out as the readers hand them out (laid over white), rows top to
// bottom only.
class MemoryLayer final : public SourceReader {
 public:
  MemoryLayer(QString path, uint32_t w, uint32_t h, std::vector<uint8_t> rgb, std::vector<uint8_t> alpha)
      : rgb_(std::move(rgb)), alpha_(std::move(alpha)) {
    image_.Path = std::move(path);
    image_.Width = w;
    image_.Height = h;
    image_.Model = ColourModel::kRgb;
  }
  void ReadRow(uint32_t row, uint8_t* dest) override {
    EXPECT_GT(int64_t(row), last_) << image_.Path.toStdString() << ": a row read twice or upwards";
    last_ = row;
    ++reads;
    for (uint32_t x = 0; x < image_.Width; ++x) {
      const size_t i = size_t(row) * image_.Width + x;
      const uint8_t a = alpha_.empty() ? 255 : alpha_[i];
      for (int c = 0; c < 3; ++c) dest[x * 4 + c] = OverWhite(rgb_[i * 3 + size_t(c)], a);
      dest[x * 4 + 3] = 0;
    }
  }
  bool HasAlpha() const override { return !alpha_.empty(); }
  void ReadAlpha(uint8_t* dest) const override {
    std::memcpy(dest, alpha_.data() + size_t(last_) * image_.Width, image_.Width);
  }
  int reads = 0;

 private:
  std::vector<uint8_t> rgb_, alpha_;
  int64_t last_ = -1;
};

struct LayerCase {
  uint32_t w, h;
  Real pixels;     // parallax in view pixels
  int64_t x, y;    // corner
  bool alpha;
};

// Pixel (x, y) of layer `j`: colours that tell the layers and places apart,
// and an alpha with holes, edges and partial values.
uint8_t ColourOf(int j, uint32_t x, uint32_t y, int c) { return uint8_t((x * 7 + y * 3 + unsigned(j) * 60 + unsigned(c) * 85) % 256); }
uint8_t AlphaOf(int j, uint32_t x, uint32_t y) {
  const uint32_t v = (x + 2 * y + unsigned(j)) % 5;
  return v == 0 ? 0 : v == 1 ? 128 : v == 2 ? 30 : 255;
}

struct Stack {
  std::vector<std::unique_ptr<MemoryLayer>> readers;
  std::vector<StackLayer> layers;
};

Stack MakeStack(const std::vector<LayerCase>& cases) {
  Stack s;
  for (size_t j = 0; j < cases.size(); ++j) {
    const LayerCase& l = cases[j];
    std::vector<uint8_t> rgb(size_t(l.w) * l.h * 3), alpha(l.alpha ? size_t(l.w) * l.h : 0);
    for (uint32_t y = 0; y < l.h; ++y)
      for (uint32_t x = 0; x < l.w; ++x) {
        for (int c = 0; c < 3; ++c) rgb[(size_t(y) * l.w + x) * 3 + size_t(c)] = ColourOf(int(j), x, y, c);
        if (l.alpha) alpha[size_t(y) * l.w + x] = AlphaOf(int(j), x, y);
      }
    s.readers.push_back(std::make_unique<MemoryLayer>(QStringLiteral("layer%1.png").arg(j), l.w, l.h, rgb, alpha));
    s.layers.push_back({std::make_shared<SharedRows>(*s.readers.back()), l.pixels, l.x, l.y});
  }
  return s;
}

// View k drawn directly: white paper, then every layer pasted at its corner
// moved `LayerShift` pixels leftwards, its pixels laid by their alpha.
std::vector<uint8_t> Drawn(const std::vector<LayerCase>& cases, ColumnSpan columns, int k, int frames) {
  const uint32_t h = cases[0].h;
  std::vector<uint8_t> view(size_t(columns.width) * h * 4);
  const uint8_t white[4] = {255, 255, 255, 0};
  for (size_t i = 0; i < view.size(); i += 4) std::memcpy(&view[i], white, 4);
  for (size_t j = 0; j < cases.size(); ++j) {
    const LayerCase& l = cases[j];
    const int64_t shift = Trunc(LayerShift(l.pixels, k, frames));
    const int64_t left = (j == 0 ? 0 : l.x - cases[0].x) - shift - columns.left;  // the view column of layer column 0
    const int64_t top = j == 0 ? 0 : l.y - cases[0].y;
    for (uint32_t y = 0; y < l.h; ++y)
      for (uint32_t x = 0; x < l.w; ++x) {
        const int64_t vx = left + x, vy = top + y;
        if (vx < 0 || vx >= columns.width || vy < 0 || vy >= h) continue;
        const uint8_t a = l.alpha ? AlphaOf(int(j), x, y) : 255;
        uint8_t over[4] = {0, 0, 0, 0};
        for (int c = 0; c < 3; ++c) over[c] = OverWhite(ColourOf(int(j), x, y, c), a);
        LayOver(over, a, white, &view[(size_t(vy) * columns.width + size_t(vx)) * 4]);
      }
  }
  return view;
}

TEST(LayeredViews, WholeShiftsEqualTheDirectlyDrawnComposite) {
  struct Case {
    const char* name;
    int frames;
    std::vector<LayerCase> layers;
  };
  // Five views share out a parallax of 8 as -4, -2, 0, 2, 4 pixels.
  const std::vector<Case> cases = {
      {"background on the key plane, a layer in front", 5, {{40, 12, 0, 0, 0, false}, {10, 6, 8, 5, 3, true}}},
      {"background behind, layers in front and behind", 5,
       {{48, 10, -8, 0, 0, false}, {12, 8, 8, 20, -2, true}, {9, 14, -4, -3, 1, true}}},
      {"an upper layer over the edges", 3, {{30, 8, 2, 0, 0, true}, {50, 10, -6, -10, -1, true}}},
      {"a bottom layer with a corner of its own", 5, {{20, 6, 4, 7, 9, false}, {6, 6, 8, 9, 10, true}}},
      {"a layer outside the view", 5, {{20, 6, 0, 0, 0, false}, {5, 5, 0, 100, 0, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Stack s = MakeStack(c.layers);
    const ColumnSpan columns = CommonColumns(QStringLiteral("layer0.png"), c.layers[0].w, c.layers[0].pixels, c.frames);
    auto views = OpenLayeredViews(s.layers, c.frames, columns, ColourModel::kRgb);
    ASSERT_EQ(views.size(), size_t(c.frames));
    std::vector<std::vector<uint8_t>> made(views.size(), std::vector<uint8_t>(size_t(columns.width) * c.layers[0].h * 4));
    for (uint32_t y = 0; y < c.layers[0].h; ++y)
      for (size_t k = 0; k < views.size(); ++k) views[k]->ReadRow(y, &made[k][size_t(y) * columns.width * 4]);
    for (int k = 1; k <= c.frames; ++k) EXPECT_EQ(made[size_t(k) - 1], Drawn(c.layers, columns, k, c.frames)) << "view " << k;
    // Every layer row that shows is read once, whatever the number of views.
    for (size_t j = 0; j < c.layers.size(); ++j)
      EXPECT_LE(s.readers[j]->reads, int(c.layers[j].h)) << "layer " << j;
    EXPECT_EQ(s.readers[0]->reads, int(c.layers[0].h));
  }
}

// A ramp across the layer: the cubic filter reproduces straight lines, so
// a fractional movement lands within a step of rounding of the true value.
TEST(LayeredViews, FractionalShiftsComeWithinTheFiltersError) {
  struct Case {
    const char* name;
    Real pixels;
    int frames;
  };
  const std::vector<Case> cases = {{"three quarters", 3, 5}, {"a third", 2, 7}, {"behind, fifths", -1.6L, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint32_t w = 64, h = 3;
    std::vector<uint8_t> rgb(size_t(w) * h * 3), alpha(size_t(w) * h, 255);
    for (uint32_t i = 0; i < w * h; ++i)
      for (int ch = 0; ch < 3; ++ch) rgb[i * 3 + size_t(ch)] = uint8_t(20 + 3 * (i % w) + uint32_t(ch));
    MemoryLayer bottom(QStringLiteral("sky.png"), w, h, std::vector<uint8_t>(rgb.size(), 0), {});
    MemoryLayer ramp(QStringLiteral("ramp.png"), w, h, rgb, alpha);
    const ColumnSpan columns{0, w};
    std::vector<StackLayer> layers = {{std::make_shared<SharedRows>(bottom), 0, 0, 0},
                                      {std::make_shared<SharedRows>(ramp), c.pixels, 0, 0}};
    auto views = OpenLayeredViews(layers, c.frames, columns, ColourModel::kRgb);
    std::vector<uint8_t> row(size_t(w) * 4);
    for (uint32_t y = 0; y < h; ++y)
      for (int k = 1; k <= c.frames; ++k) {
        views[size_t(k) - 1]->ReadRow(y, row.data());
        const Real shift = LayerShift(c.pixels, k, c.frames);
        for (uint32_t x = 4; x + 4 < w; ++x) {
          const Real truth = 20 + 3 * (Real(x) + shift);  // the ramp at the column this one shows
          EXPECT_NEAR(double(row[x * 4]), double(truth), 1.0) << "view " << k << " column " << x;
        }
      }
  }
}

TEST(LayeredViews, LayingOverFollowsTheAlpha) {
  struct Case {
    uint8_t c, a, under;
    int expected;
  };
  // RGB: c a + under (1 - a), rounded.
  const std::vector<Case> cases = {{200, 255, 10, 200}, {200, 0, 10, 10}, {200, 128, 0, 100}, {0, 51, 255, 204},
                                   {100, 128, 100, 100}, {255, 1, 0, 1}};
  const uint8_t white[4] = {255, 255, 255, 0};
  for (const Case& c : cases) {
    const uint8_t over[4] = {OverWhite(c.c, c.a), OverWhite(c.c, c.a), OverWhite(c.c, c.a), 0};
    uint8_t under[4] = {c.under, c.under, c.under, 0};
    LayOver(over, c.a, white, under);
    EXPECT_NEAR(under[0], c.expected, 1) << int(c.c) << " at " << int(c.a) << " over " << int(c.under);
    EXPECT_EQ(under[3], 0);
  }
  // CMYK: the readers scale inks by alpha; paper is no ink.
  const uint8_t paper[4] = {0, 0, 0, 0};
  const uint8_t ink[4] = {uint8_t((200 * 128 + 127) / 255), 0, 0, uint8_t((255 * 128 + 127) / 255)};
  uint8_t under[4] = {0, 100, 0, 0};
  LayOver(ink, 128, paper, under);
  EXPECT_EQ(under[0], 100);
  EXPECT_EQ(under[1], 50);
  EXPECT_EQ(under[3], 128);
}

TEST(LayeredViews, TheViewsLoseTheColumnsTheBottomLayersMovementUncovers) {
  struct Case {
    uint32_t width;
    Real pixels;
    int frames;
    int64_t left;
    uint32_t kept;  // 0: refused
  };
  const std::vector<Case> cases = {
      {100, 0, 5, 0, 100}, {100, 8, 5, 4, 92}, {100, -8, 24, 4, 92}, {100, -3, 5, 2, 96},
      {100, 99, 5, 50, 0},  {100, 98, 5, 49, 2}, {100, 4, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " wide, parallax " << double(c.pixels));
    if (c.kept == 0) {
      EXPECT_TRUE(ErrorOf([&] { CommonColumns(QStringLiteral("sky.png"), c.width, c.pixels, c.frames); })
                      .contains(QLatin1String("sky.png")));
      continue;
    }
    const ColumnSpan span = CommonColumns(QStringLiteral("sky.png"), c.width, c.pixels, c.frames);
    EXPECT_EQ(span.left, c.left);
    EXPECT_EQ(span.width, c.kept);
  }
}

TEST(LayeredViews, AnUpperLayerWithoutAlphaIsRefusedByName) {
  Stack s = MakeStack({{20, 5, 0, 0, 0, false}, {5, 5, 1, 0, 0, false}});
  const QString error = ErrorOf([&] { OpenLayeredViews(s.layers, 4, {0, 20}, ColourModel::kRgb); });
  EXPECT_TRUE(error.contains(QLatin1String("layer1.png"))) << error.toStdString();
  EXPECT_TRUE(error.contains(QLatin1String("no alpha"))) << error.toStdString();
}

TEST(LayeredViews, ShiftsShareTheParallaxOutAcrossTheViews) {
  EXPECT_EQ(LayerShift(8, 1, 5), -4);
  EXPECT_EQ(LayerShift(8, 3, 5), 0);
  EXPECT_EQ(LayerShift(8, 5, 5), 4);
  EXPECT_EQ(LayerShift(-6, 1, 4), 3);
  EXPECT_EQ(LayerShift(-6, 4, 4), -3);
}

}  // namespace
}  // namespace plivora
