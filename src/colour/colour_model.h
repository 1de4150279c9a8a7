// The colour models of views and plates. A row of any model holds four bytes
// a pixel: C, M, Y, K; R, G, B and a byte of padding (0); or a grey level
// three times and the padding, G, G, G, 0, which shows as that grey where RGB
// is expected. Lab views (never plates) hold L, a, b and the padding in
// ICC's 8-bit encoding: L 0 to 255 for 0 to 100, a and b plus 128.
#pragma once

#include <QString>

namespace plivora {

enum class ColourModel { kGrey, kRgb, kCmyk, kLab };

// "greyscale", "RGB", "CMYK", "Lab".
QString ColourModelName(ColourModel model);

}  // namespace plivora
