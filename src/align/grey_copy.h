// A view as the alignment sees it: a grey copy, reduced, read row by row.
#pragma once

#include <cstdint>
#include <vector>

#include "align/search_table.h"
#include "series/source_image.h"

namespace plivora {

struct GreyCopy {
  std::vector<float> samples;  // 0 (black) to 255, `columns` a row, rows top to bottom
  int columns = 0, rows = 0;
  int factor = 1;  // view pixels per copy pixel, each way
  uint32_t width = 0, height = 0;  // the view's
  search::GreyPicture Picture() const { return {columns, rows, samples.data()}; }
};

// The reduction that keeps the copy's longer side at most `longest` pixels.
int ReductionFor(uint32_t width, uint32_t height, uint32_t longest);

// Reads the view top to bottom into a copy `factor` times smaller each way:
// the mean lightness of every factor x factor block (blocks the right and
// bottom edges cut are left out), then smoothed (a Gaussian of one copy
// pixel, by the alignment search module). Lightness: grey as it is; RGB weighted
// 0.3, 0.59, 0.11; CMYK as white less the inks so weighted and K. With
// `negativeInput` CMYK samples are stored inverted. Raises the reader's
// errors and the module's, and refuses a view smaller than 32 x 32 blocks.
GreyCopy ReadGreyCopy(SourceReader& reader, int factor, bool negativeInput);

// Copy pixel (x, y) covers view pixels x f .. x f + f - 1: its centre.
inline double ViewOfCopy(double copy, int factor) { return copy * factor + (factor - 1) / 2.0; }
inline double CopyOfView(double view, int factor) { return (view - (factor - 1) / 2.0) / factor; }

}  // namespace plivora
