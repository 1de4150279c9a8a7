// The press marks around a plate, drawn where press_layout.h places them.
//
// Every mark is drawn with hard edges in one of a few inks, one byte a
// pixel (MarkInk), at the full resolution and squeezed like the caption
// strip, in bands, so that a margin as wide as the plate is never held
// whole.
#pragma once

#include <cstdint>

#include "common/numbers.h"
#include "drawing/press_layout.h"
#include "drawing/shrunk_drawing.h"

namespace plivora {

// The stripes' period: 51/50 of the lens pitch, so that a lens square to
// the print shows broad bands parallel to the lenses, 51 lenses apart.
Real AlignmentStripePeriod(int64_t dpiE9, int64_t lpiE9);

// Rows [first, first + count) of the marked plate, columns [left, left +
// width), one MarkInk a pixel, handed to `sink` band by band (first counted
// from `first`): the marks of `layout`, laid out for `marks`
// (LayOutPressMarks). Raises as DrawShrunk.
void DrawPressMarks(const PressMarks& marks, const PressLayout& layout, int64_t left, int width, int64_t first,
                    int count, const LevelRowsFn& sink);

// The box of the pixels `mark` inks inside `window` when drawn alone, in
// file pixels; empty when none.
PixelBox InkedBox(const PressMarks& marks, const PlacedMark& mark, const PixelBox& window);

}  // namespace plivora
