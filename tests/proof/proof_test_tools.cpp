#include "proof_test_tools.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace plivora::test {

void WritePlate(const QString& path, const PlateLayout& layout, const PlatePixel& pixel) {
  TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), layout.bigEndian ? "wb" : "wl");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, layout.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, layout.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, layout.rowsPerStrip);
  if (layout.resolution) {
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, layout.xResolution);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, layout.yResolution);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, layout.unit);
  }
  std::vector<uint8_t> line(size_t(layout.width) * layout.samples);
  for (uint32_t y = 0; y < layout.height; ++y) {
    for (uint32_t x = 0; x < layout.width; ++x) {
      const std::vector<uint8_t> p = pixel(x, y);
      for (uint16_t s = 0; s < layout.samples; ++s) line[size_t(x) * layout.samples + s] = p.at(s);
    }
    ASSERT_GE(TIFFWriteScanline(tif, line.data(), y, 0), 0);
  }
  TIFFClose(tif);
}

}  // namespace plivora::test
