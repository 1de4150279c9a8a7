#include "plate/level_rows.h"

#include <algorithm>
#include <cstring>

#include "plate/plate_writer.h"

namespace plivora {

void ExpandCaptionPixels(const uint8_t* levels, size_t count, uint8_t* filePixels) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* pixel = filePixels + i * 4;
    pixel[0] = pixel[1] = pixel[2] = levels[i];
    pixel[3] = 0;
  }
}

void ExpandCaptionPixelsRgb(const uint8_t* levels, size_t count, uint8_t* filePixels) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* pixel = filePixels + i * 4;
    pixel[0] = pixel[1] = pixel[2] = uint8_t(255 - levels[i]);
    pixel[3] = 0;
  }
}

void ExpandIndexedPixels(const uint8_t* indices, size_t count, const uint8_t* palette, uint8_t* filePixels) {
  for (size_t i = 0; i < count; ++i) std::memcpy(filePixels + i * 4, palette + size_t(indices[i]) * 4, 4);
}

void AppendLevelRows(const uint8_t* levels, size_t rows, int64_t width, PlateWriter& plate, bool rgb) {
  if (rows == 0 || width <= 0) return;
  const size_t w = size_t(width);
  const size_t piece = std::min(rows, std::max<size_t>(1, (size_t(1) << 16) / w));  // rows of about 64K pixels
  std::vector<uint8_t> pixels(piece * w * 4);
  for (size_t first = 0; first < rows; first += piece) {
    const size_t count = std::min(piece, rows - first);
    (rgb ? ExpandCaptionPixelsRgb : ExpandCaptionPixels)(levels + first * w, count * w, pixels.data());
    plate.Append(pixels.data(), count, w * 4);
  }
}

void AppendLevelRows(const std::vector<uint8_t>& levels, int64_t width, PlateWriter& plate, bool rgb) {
  if (width > 0) AppendLevelRows(levels.data(), levels.size() / size_t(width), width, plate, rgb);
}

}  // namespace plivora
