// A view as the alignment sees it: a grey copy, reduced, read row by row.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>

#include "series/source_image.h"

namespace plivora {

struct GreyCopy {
  cv::Mat grey;  // 32-bit float, 0 (black) to 255
  int factor = 1;  // view pixels per copy pixel, each way
  uint32_t width = 0, height = 0;  // the view's
};

// The reduction that keeps the copy's longer side at most `longest` pixels.
int ReductionFor(uint32_t width, uint32_t height, uint32_t longest);

// Reads the view top to bottom into a copy `factor` times smaller each way:
// the mean lightness of every factor x factor block (blocks the right and
// bottom edges cut are left out), then smoothed (a Gaussian of one copy
// pixel). Lightness: grey as it is; RGB weighted
// 0.3, 0.59, 0.11; CMYK as white less the inks so weighted and K. With
// `negativeInput` CMYK samples are stored inverted. Raises the reader's
// errors, and refuses a view smaller than 32 x 32 blocks.
GreyCopy ReadGreyCopy(SourceReader& reader, int factor, bool negativeInput);

// Copy pixel (x, y) covers view pixels x f .. x f + f - 1: its centre.
inline double ViewOfCopy(double copy, int factor) { return copy * factor + (factor - 1) / 2.0; }
inline double CopyOfView(double view, int factor) { return (view - (factor - 1) / 2.0) / factor; }

}  // namespace plivora
