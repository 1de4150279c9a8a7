// The press marks around a plate: a white margin (slug) around the bled
// image holding crop marks at the trim corners, registration marks on each
// side, the lens alignment bar above and below, and a line of text that
// identifies the plate.
//
// Every mark is drawn with hard edges in one of a few inks, one byte a
// pixel (MarkInk), at the full resolution and squeezed like the caption
// strip, in bands, so that a margin as wide as the plate is never held
// whole.
#pragma once

#include <QString>
#include <cstdint>

#include "common/numbers.h"
#include "drawing/shrunk_drawing.h"

namespace plivora {

// What a margin pixel holds.
enum MarkInk : uint8_t {
  kPaper = 0,
  kRegistration = 1,  // every ink at once
  kCyanInk = 2,
  kMagentaInk = 3,
  kYellowInk = 4,
  kBlackInk = 5,
};

// The slug margin on every side of the bled image, in inches.
inline constexpr Real kSlugInches = 0.5L;

// Where the marks go. Positions are the file's columns and rows of the
// marked plate (the caption strip below it is not part of it); the lines
// are pixel edges: the image is columns [imageLeft, imageRight) and rows
// [imageTop, imageBottom).
struct PressMarks {
  int64_t width = 0, rows = 0;
  int64_t imageLeft = 0, imageTop = 0, imageRight = 0, imageBottom = 0;
  int64_t trimLeft = 0, trimTop = 0, trimRight = 0, trimBottom = 0;
  // The full resolution the marks are drawn at, in dots per inch, and the
  // dots a file column and a file row stand for (the compress factor on
  // one of them, 1 on the other).
  Real dpi = 0;
  int columnDots = 1, rowDots = 1;
  bool horizontalLenses = false;
  // Dots of one dark and one light stripe of the alignment bar, across the
  // lenses.
  Real stripePeriod = 0;
  bool fourInks = true;  // the bar in C, M, Y and K; K alone otherwise
  QString slug;          // the line of text above the image
};

// The stripes' period: 51/50 of the lens pitch, so that a lens square to
// the print shows broad bands parallel to the lenses, 51 lenses apart.
Real AlignmentStripePeriod(int64_t dpiE9, int64_t lpiE9);

// Rows [first, first + count) of the marked plate, columns [left, left +
// width), one MarkInk a pixel, handed to `sink` band by band (first counted
// from `first`). Pixels inside the image are paper. Raises as DrawShrunk.
void DrawPressMarks(const PressMarks& marks, int64_t left, int width, int64_t first, int count, const LevelRowsFn& sink);

}  // namespace plivora
