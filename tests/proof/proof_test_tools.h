// Plates for the proof's tests, written through libtiff with the layout,
// resolution and colour model each test asks for.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace plivora::test {

struct PlateLayout {
  uint32_t width = 0, height = 0;
  uint16_t photometric = 5;  // 5 CMYK, 2 RGB, 1 grey
  uint16_t samples = 4;
  uint16_t compression = 1;
  uint32_t rowsPerStrip = 8;
  bool bigEndian = false;
  bool resolution = true;    // XResolution and YResolution tags
  float xResolution = 100, yResolution = 100;
  uint16_t unit = 2;         // 2 inch, 3 cm, 1 none
};

// The samples of pixel (x, y), `samples` of them.
using PlatePixel = std::function<std::vector<uint8_t>(uint32_t x, uint32_t y)>;

void WritePlate(const QString& path, const PlateLayout& layout, const PlatePixel& pixel);

}  // namespace plivora::test
