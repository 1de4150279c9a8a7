// White paper in the plate's working model, and a pixel laid over what lies
// under it by its alpha: the compositing of views made from layers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "colour/colour_model.h"

namespace plivora {

// No ink on CMYK; full light on RGB and grey (R, G, B, 0 / G, G, G, 0).
inline void PaperWhite(ColourModel model, uint8_t white[4]) {
  const uint8_t light = model == ColourModel::kCmyk ? 0 : 255;
  white[0] = white[1] = white[2] = light;
  white[3] = 0;
}

// Lays `over` on `under` (4 bytes each) by alpha a (0 .. 255). The readers
// hand out colours already laid over white paper by their alpha (o = c a +
// W (1 - a)), so the pixel over `under` is o + (under - W)(1 - a), rounded
// half away from zero and held to 0 .. 255. Opaque pixels are copied and
// transparent ones leave `under` exactly as it was.
inline void LayOver(const uint8_t* over, uint8_t a, const uint8_t* white, uint8_t* under) {
  if (a == 255) return (void)std::memcpy(under, over, 4);
  if (a == 0) return;
  for (int c = 0; c < 4; ++c) {
    const int32_t t = (int32_t(under[c]) - white[c]) * (255 - a);
    const int32_t d = t >= 0 ? (t + 127) / 255 : -((127 - t) / 255);
    under[c] = uint8_t(std::clamp<int32_t>(over[c] + d, 0, 255));
  }
}

}  // namespace plivora
