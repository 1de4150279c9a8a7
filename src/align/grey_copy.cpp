#include "align/grey_copy.h"

#include <algorithm>
#include <vector>

#include "align/search_calls.h"
#include "common/error.h"

namespace plivora {

int ReductionFor(uint32_t width, uint32_t height, uint32_t longest) {
  const uint32_t side = std::max(width, height);
  return int(std::max<uint32_t>(1, (side + longest - 1) / longest));
}

namespace {

// Lightness of one pixel of the view's model, 0 .. 255.
uint32_t Lightness(const uint8_t* p, ColourModel model, bool inverted) {
  switch (model) {
    case ColourModel::kGrey: return p[0];
    case ColourModel::kLab: return p[0];  // L*, 0 .. 100 as 0 .. 255
    case ColourModel::kRgb: return (77u * p[0] + 150u * p[1] + 29u * p[2] + 128) >> 8;
    case ColourModel::kCmyk: break;
  }
  const uint32_t c = inverted ? 255u - p[0] : p[0], m = inverted ? 255u - p[1] : p[1];
  const uint32_t y = inverted ? 255u - p[2] : p[2], k = inverted ? 255u - p[3] : p[3];
  return 255u - std::min(255u, ((77u * c + 150u * m + 29u * y + 128) >> 8) + k);
}

}  // namespace

GreyCopy ReadGreyCopy(SourceReader& reader, int factor, bool negativeInput) {
  const SourceImage& image = reader.image();
  GreyCopy copy;
  copy.factor = factor;
  copy.width = image.Width;
  copy.height = image.Height;
  const uint32_t f = uint32_t(factor), columns = image.Width / f, rows = image.Height / f;
  if (columns < 32 || rows < 32)
    Fail(QStringLiteral("Cannot align view \"%1\": at %2 x %3 pixels it is too small to align").arg(image.Path).arg(image.Width).arg(image.Height));
  copy.columns = int(columns);
  copy.rows = int(rows);
  copy.samples.resize(size_t(columns) * rows);
  const bool inverted = negativeInput && image.Model == ColourModel::kCmyk;
  std::vector<uint8_t> line(size_t(image.Width) * 4);
  std::vector<uint32_t> sums(columns);
  const float scale = 1.0f / float(f * f);
  for (uint32_t r = 0; r < rows; ++r) {
    std::fill(sums.begin(), sums.end(), 0u);
    for (uint32_t k = 0; k < f; ++k) {
      reader.ReadRow(r * f + k, line.data());
      const uint8_t* p = line.data();
      for (uint32_t x = 0; x < columns; ++x) {
        uint32_t block = 0;
        for (uint32_t i = 0; i < f; ++i, p += 4) block += Lightness(p, image.Model, inverted);
        sums[x] += block;
      }
    }
    float* out = copy.samples.data() + size_t(r) * columns;
    for (uint32_t x = 0; x < columns; ++x) out[x] = float(sums[x]) * scale;
  }
  // The finest detail left after the reduction is partly folded over from
  // finer still, and interpolates poorly: smoothed away, it no longer pulls
  // the fine matching off by a few hundredths of a pixel.
  SmoothGreyCopy(copy);
  return copy;
}

}  // namespace plivora
