// Where a view sits in the series once aligned: its shift and turn, and the
// rectangle every aligned view covers.
//
// Coordinates are pixel centres: pixel (x, y) of a view lies at x, y, x to
// the right and y down, (0, 0) the top-left pixel. A view of W x H turns
// about its centre ((W - 1) / 2, (H - 1) / 2). Every view is laid on the
// reference grid (the first view's pixels) by its top-left corner, as the
// export samples the views; its transform then moves its content:
//
//   P = Turn(p - centre) + centre + (dx, dy)
//
// where p is a point of the view, P where it lands on the reference grid,
// and Turn rotates by `turn` degrees anticlockwise as the picture is seen
// (with y down: x' = x cos + y sin, y' = -x sin + y cos).
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "common/numbers.h"

namespace plivora {

struct ViewTransform {
  Real dx = 0;    // view pixels; positive moves the content right
  Real dy = 0;    // view pixels; positive moves the content down
  Real turn = 0;  // degrees; positive turns the content anticlockwise as seen

  bool operator==(const ViewTransform&) const = default;
  bool Identity() const { return dx == 0 && dy == 0 && turn == 0; }
  // No turn and whole-pixel shifts: every pixel lands on a pixel, and the
  // aligned view is a plain copy of the view's pixels.
  bool WholePixels() const;
};

// The largest turn a view may have, either way: a turn needs a band of
// source rows as tall as the view's width times its sine (5 degrees: a
// twelfth of the width).
constexpr Real kMaxTurnDegrees = 5;
// The largest shift either way, in view pixels.
constexpr Real kMaxShift = 1000000;

// Raises "View "PATH": ..." for a shift or turn that is not a number or
// past the limits above.
void CheckViewTransform(const QString& path, const ViewTransform& t);

// The largest integer not above `value` (`value` within int64).
int64_t FloorOf(Real value);

// A rectangle in the reference (first) view's pixels: the key rectangle.
struct KeyRect {
  int64_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const KeyRect&) const = default;
};

// "X,Y,W,H", whole pixels. Raises "The key rectangle "TEXT" is not X,Y,W,H
// in the first view's pixels (four whole numbers, W and H above 0)".
KeyRect ParseKeyRect(const QString& text);
QString KeyRectText(const KeyRect& key);

// The sampling rule of one transformed view: where a point of the reference
// grid comes from in the view. Source positions are linear in the grid
// position, so the aligned reader steps through them.
class ViewPlacement {
 public:
  ViewPlacement(uint32_t width, uint32_t height, const ViewTransform& t);
  // The view point that lands on reference point (x, y).
  Real SourceX(Real x, Real y) const;
  Real SourceY(Real x, Real y) const;
  // The view's points at grid height y form a segment of x: [*lo, *hi]
  // (empty when *lo > *hi).
  void Slice(Real y, Real* lo, Real* hi) const;
  // The grid heights the view covers at all: [*top, *bottom].
  void Extent(Real* top, Real* bottom) const;

  Real cosine() const { return cos_; }
  Real sine() const { return sin_; }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }

 private:
  uint32_t width_, height_;
  ViewTransform t_;
  Real cos_ = 1, sin_ = 0, cx_ = 0, cy_ = 0;
};

// A rectangle of the reference grid: columns left .. left + width - 1,
// rows top .. top + height - 1.
struct CommonArea {
  int64_t left = 0, top = 0;
  uint32_t width = 0, height = 0;
  bool operator==(const CommonArea&) const = default;
};

struct PlacedView {
  uint32_t width = 0, height = 0;  // the view's own size
  ViewTransform transform;
};

// The largest rectangle every aligned view covers wholly (each of its pixels
// comes from inside every view, no view's edge repeated): with shifts
// alone, the intersection of the shifted views, exactly; with turns, the
// largest the search finds among the rectangles whose top and bottom lie
// within a view's width x sin(turn) of the views' common extent. Raises
// "The aligned views have no area in common ..." when there is none.
CommonArea CommonAreaOf(const std::vector<PlacedView>& views);

}  // namespace plivora
