// The colour models of views and plates. A row of any model holds four bytes
// a pixel: C, M, Y, K; R, G, B and a byte of padding (0); or a grey level
// three times and the padding, G, G, G, 0, which shows as that grey where RGB
// is expected.
#pragma once

#include <QString>

namespace plivora {

enum class ColourModel { kGrey, kRgb, kCmyk };

// "greyscale", "RGB", "CMYK".
QString ColourModelName(ColourModel model);

}  // namespace plivora
