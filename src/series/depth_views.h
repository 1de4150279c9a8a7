// Views made from one picture and its depth map.
//
// The map is a grey picture of the picture's size, white near: a pixel of
// grey g (0 .. 255) lies (g - key) / 255 x depth lens widths in front of
// the print's plane, and moves as a layer of that depth would
// (layered_views.h), by a whole number of view pixels. View k is the
// picture forward-warped along each row: every pixel goes to its column in
// that view, the nearer one winning where two land on one column (the
// first along the row where they are equally near). The columns nothing
// lands on (what the nearer pixels uncover) are filled from the farther of
// their two neighbours along the row, the background side, so no view has
// a hole. Rows are independent: a view row is made from one picture row
// and one map row.
//
// The views share one reading of the picture and the map; asked in step
// (every view for row y before any for row y + 1) each row is read once.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/numbers.h"
#include "series/source_image.h"

namespace plivora {

struct DepthScale {
  Real depth = 0;           // lens widths between black and white
  int key = 128;            // the grey on the print's plane
  Real pixelsPerLens = 0;   // view pixels a lens width at the plate spans
  int frames = 0;
};

// The whole columns view k (1 .. frames) moves a pixel of grey g leftwards
// (negative: rightwards): Round(LayerShift((g - key) / 255 x depth x
// pixelsPerLens)).
int64_t DepthShift(const DepthScale& scale, int g, int k);

// The grey of each pixel of a map's row as ReadRow hands it out (G, G, G, 0).
void GreysOf(const uint8_t* row, uint32_t width, uint8_t* greys);

// Forward-warps one row: `colours` (4 bytes a pixel) by `greys`, with
// `shifts` (per grey) into `out`; `nearest` is scratch of `width` entries.
void WarpRow(const uint8_t* colours, const uint8_t* greys, uint32_t width, const int64_t* shifts, uint8_t* out,
             int16_t* nearest);

// The scale's views of `picture` (rows in the plate's model; it must
// outlive them) by `map`, which must be a grey picture of the same size:
// raises Error naming the map otherwise.
std::vector<std::unique_ptr<SourceReader>> OpenDepthViews(SourceReader& picture, std::unique_ptr<SourceReader> map,
                                                          const DepthScale& scale);

}  // namespace plivora
