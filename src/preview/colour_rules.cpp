#include "preview/colour_rules.h"

#include <algorithm>
#include <cstdint>

#include "common/error.h"
#include "common/numbers.h"

namespace plivora {

namespace {

uint8_t LessInk(int ink, int black) { return uint8_t(std::max(0, 255 - ink - black)); }

}  // namespace

void CmykToRgb(const QImage& cmyk, QImage& rgb) {
  if (cmyk.depth() != 32) Fail(QStringLiteral("Cannot turn a view into colours for the preview: its picture is not 32 bits a pixel (a fault in this program)"));
  QImage out(cmyk.size(), kPictureFormat);
  if (out.isNull() && !cmyk.isNull())
    Fail(QStringLiteral("Not enough memory for a preview picture of %1 x %2 pixels").arg(cmyk.width()).arg(cmyk.height()));
  for (int y = 0; y < cmyk.height(); ++y) {
    const uint8_t* in = cmyk.constScanLine(y);
    uint8_t* px = out.scanLine(y);
    for (int x = 0; x < cmyk.width(); ++x, in += 4, px += 3) {
      px[0] = LessInk(in[0], in[3]);
      px[1] = LessInk(in[1], in[3]);
      px[2] = LessInk(in[2], in[3]);
    }
  }
  rgb = std::move(out);
}

void RgbAsInks(QImage& bitmap) {
  if (bitmap.depth() != 32) Fail(QStringLiteral("Cannot turn a view into inks for the preview: its picture is not 32 bits a pixel (a fault in this program)"));
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* px = bitmap.scanLine(y);
    for (int x = 0; x < bitmap.width(); ++x, px += 4) {
      px[0] = uint8_t(255 - px[0]);
      px[1] = uint8_t(255 - px[1]);
      px[2] = uint8_t(255 - px[2]);
      px[3] = 0;
    }
  }
}

void ToGray(QImage& rgb) {
  if (rgb.format() != kPictureFormat) Fail(QStringLiteral("Cannot turn a picture grey: it is not 24-bit RGB (a fault in this program)"));
  for (int y = 0; y < rgb.height(); ++y) {
    uint8_t* px = rgb.scanLine(y);
    for (int x = 0; x < rgb.width(); ++x, px += 3) {
      const Real red = 0.3L * Real(px[0]);
      const Real green = 0.59L * Real(px[1]);
      const Real blue = 0.11L * Real(px[2]);
      // The weights add up to 1, so the sum stays within 0..255.
      const auto gray = uint8_t(Round(red + green + blue));
      px[0] = px[1] = px[2] = gray;
    }
  }
}

}  // namespace plivora
