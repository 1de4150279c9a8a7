// TIFF views in RGB, greyscale and palette colour: whatever the layout and
// depth, the rows are the pixels the file holds, 16-bit samples reduced as
// round(v / 257), an alpha laid over white paper.
#include <tiffio.h>

#include "colour/icc_profile.h"
#include "series/source_image.h"
#include "series/tiff_test_tools.h"
#include "support/test_support.h"

namespace plivora {
namespace {

constexpr uint32_t kW = 19, kH = 11;

struct ModelCase {
  const char* name;
  test::LibtiffLayout layout;
  ColourModel model;
  // The sample values of pixel (x, y), and the four bytes the reader must
  // give for them.
  std::vector<uint16_t> (*samples)(uint32_t x, uint32_t y);
  std::array<uint8_t, 4> (*expected)(const std::vector<uint16_t>& s);
};

uint16_t Wave(uint32_t x, uint32_t y, uint32_t k) { return uint16_t((x * 37 + y * 101 + k * 4099) * 13 % 65536); }

test::LibtiffLayout Layout(uint16_t photometric, uint16_t samples, uint16_t bits, std::vector<uint16_t> extra = {}) {
  test::LibtiffLayout l;
  l.photometric = photometric;
  l.samples = samples;
  l.bits = bits;
  l.extraSamples = std::move(extra);
  return l;
}

uint8_t Over(uint32_t c, uint32_t a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }

const std::vector<ModelCase>& Cases() {
  static const std::vector<ModelCase> cases = [] {
    std::vector<ModelCase> c;
    c.push_back({"RGB, 8 bits", Layout(PHOTOMETRIC_RGB, 3, 8), ColourModel::kRgb,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t(Wave(x, y, 0) & 255), uint16_t(Wave(x, y, 1) & 255), uint16_t(Wave(x, y, 2) & 255)}; },
                 [](const std::vector<uint16_t>& s) { return std::array<uint8_t, 4>{uint8_t(s[0]), uint8_t(s[1]), uint8_t(s[2]), 0}; }});
    c.push_back({"RGB, 16 bits, big-endian", Layout(PHOTOMETRIC_RGB, 3, 16), ColourModel::kRgb,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{Wave(x, y, 0), Wave(x, y, 1), Wave(x, y, 2)}; },
                 [](const std::vector<uint16_t>& s) {
                   return std::array<uint8_t, 4>{uint8_t((s[0] + 128) / 257), uint8_t((s[1] + 128) / 257), uint8_t((s[2] + 128) / 257), 0};
                 }});
    c.back().layout.bigEndian = true;
    c.push_back({"RGB and an unassociated alpha, in planes", Layout(PHOTOMETRIC_RGB, 4, 8, {EXTRASAMPLE_UNASSALPHA}), ColourModel::kRgb,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t(x * 13), uint16_t(y * 23), 200, uint16_t((x * y * 7) & 255)}; },
                 [](const std::vector<uint16_t>& s) { return std::array<uint8_t, 4>{Over(s[0], s[3]), Over(s[1], s[3]), Over(s[2], s[3]), 0}; }});
    c.back().layout.separatePlanes = true;
    c.push_back({"RGB and an associated alpha, LZW", Layout(PHOTOMETRIC_RGB, 4, 8, {EXTRASAMPLE_ASSOCALPHA}), ColourModel::kRgb,
                 [](uint32_t x, uint32_t y) {
                   const uint16_t a = uint16_t((x * 29 + y) & 255);
                   return std::vector<uint16_t>{uint16_t(x * 13 * a / 255 % (a + 1)), uint16_t(y * a / 11), uint16_t(a / 2), a};
                 },
                 [](const std::vector<uint16_t>& s) {
                   const auto white = [&](uint16_t v) { return uint8_t(std::min<uint32_t>(255, v + 255 - s[3])); };
                   return std::array<uint8_t, 4>{white(s[0]), white(s[1]), white(s[2]), 0};
                 }});
    c.back().layout.compression = COMPRESSION_LZW;
    c.push_back({"RGB and an unspecified extra sample", Layout(PHOTOMETRIC_RGB, 4, 8, {EXTRASAMPLE_UNSPECIFIED}), ColourModel::kRgb,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t(x), uint16_t(y), 7, 0}; },
                 [](const std::vector<uint16_t>& s) { return std::array<uint8_t, 4>{uint8_t(s[0]), uint8_t(s[1]), uint8_t(s[2]), 0}; }});
    c.push_back({"grey, black is zero, 16 bits", Layout(PHOTOMETRIC_MINISBLACK, 1, 16), ColourModel::kGrey,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{Wave(x, y, 3)}; },
                 [](const std::vector<uint16_t>& s) { const uint8_t g = uint8_t((s[0] + 128) / 257); return std::array<uint8_t, 4>{g, g, g, 0}; }});
    c.push_back({"grey, white is zero, Deflate", Layout(PHOTOMETRIC_MINISWHITE, 1, 8), ColourModel::kGrey,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t((x * 11 + y) & 255)}; },
                 [](const std::vector<uint16_t>& s) { const uint8_t g = uint8_t(255 - s[0]); return std::array<uint8_t, 4>{g, g, g, 0}; }});
    c.back().layout.compression = COMPRESSION_ADOBE_DEFLATE;
    c.push_back({"grey and alpha", Layout(PHOTOMETRIC_MINISBLACK, 2, 8, {EXTRASAMPLE_UNASSALPHA}), ColourModel::kGrey,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t(x * 9), uint16_t(y * 20)}; },
                 [](const std::vector<uint16_t>& s) { const uint8_t g = Over(s[0], s[1]); return std::array<uint8_t, 4>{g, g, g, 0}; }});
    c.push_back({"palette, 8 bits", Layout(PHOTOMETRIC_PALETTE, 1, 8), ColourModel::kRgb,
                 [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t((x + y * kW) & 255)}; },
                 [](const std::vector<uint16_t>& s) {
                   return std::array<uint8_t, 4>{uint8_t(255 - s[0]), uint8_t(s[0] / 2), uint8_t((s[0] * 7) & 255), 0};
                 }});
    std::vector<uint16_t>& map = c.back().layout.colormap;
    for (uint32_t i = 0; i < 256; ++i) map.push_back(uint16_t((255 - i) * 257));
    for (uint32_t i = 0; i < 256; ++i) map.push_back(uint16_t(i / 2 * 257));
    for (uint32_t i = 0; i < 256; ++i) map.push_back(uint16_t(((i * 7) & 255) * 257));
    return c;
  }();
  return cases;
}

TEST(TiffModels, RowsAreThePixelsInTheirModel) {
  test::TempDir dir;
  for (const ModelCase& c : Cases()) {
    std::vector<uint16_t> samples;
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x)
        for (uint16_t v : c.samples(x, y)) samples.push_back(v);
    const QString path = dir.path(QString::fromLatin1(c.name).replace(QChar(' '), QChar('_')) + ".tif");
    test::WriteWithLibtiff(path, kW, kH, samples, c.layout);
    const std::unique_ptr<SourceReader> reader = OpenSource(path);
    ASSERT_EQ(reader->image().Model, c.model) << c.name;
    std::vector<uint8_t> row(kW * 4);
    for (uint32_t y = 0; y < kH; ++y) {
      reader->ReadRow(y, row.data());
      for (uint32_t x = 0; x < kW; ++x) {
        const std::array<uint8_t, 4> want = c.expected(c.samples(x, y));
        ASSERT_EQ((std::array<uint8_t, 4>{row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]}), want)
            << c.name << " at " << x << "," << y;
      }
    }
  }
}

TEST(TiffModels, TheEmbeddedProfileIsKept) {
  test::TempDir dir;
  test::LibtiffLayout layout = Layout(PHOTOMETRIC_RGB, 3, 8);
  layout.iccProfile = IccProfile::Srgb().bytes();
  test::WriteWithLibtiff(dir.path("p.tif"), 2, 2, std::vector<uint16_t>(12, 9), layout);
  EXPECT_EQ(OpenSource(dir.path("p.tif"))->image().Profile, layout.iccProfile);
}

}  // namespace
}  // namespace plivora
