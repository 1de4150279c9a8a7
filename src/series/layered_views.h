// Views made from layered artwork: a background, a product, a logo, text,
// each a picture with alpha and a depth, stacked back to front.
//
// Depth is the layer's parallax across the whole series, in lens widths at
// the plate: 0 lies on the print's plane (the key plane), positive in front
// of it, negative behind. In view pixels a lens width is
// `pixelsPerLens` (the view's width over the lenses across the image). View
// k (1 .. N, view 1 the leftmost eye) shows each layer moved by
// (k - (N + 1) / 2) / (N - 1) x its parallax: leftwards for a layer in
// front of the print, rightwards for one behind it.
//
// The views are the bottom layer's size, less the columns its own movement
// uncovers in some view: every column of every view then shows the bottom
// layer (a background wider than the trim loses nothing). Layers are laid
// back to front over white paper, each by its alpha, in the plate's working
// model (every layer's rows come converted there through its own profile).
// Whole-pixel movements copy the layer's pixels exactly; any other resamples
// its colours and alpha alike with the cubic filter of the aligned views.
//
// A made view is a SourceReader: rows top to bottom, 4 bytes a pixel. The N
// views read their layers through one shared stack, one row of each layer
// at a time: asked in step (every view for row y before any for row y + 1),
// each layer row is read once; rows above the slowest view are let go.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "colour/colour_model.h"
#include "common/numbers.h"
#include "series/cubic_filter.h"
#include "series/shared_rows.h"
#include "series/source_image.h"

namespace plivora {

// One layer as the user gives it, back to front.
struct Layer {
  QString path;
  Real depth = 0;        // lens widths at the plate; + in front of the print
  int64_t x = 0, y = 0;  // its top left corner, in pixels of the bottom layer (the bottom's own is ignored)
  bool operator==(const Layer&) const = default;
};

// Where view k's (1 .. frames) pixels of a layer of parallax `pixels` (view
// pixels) come from: that many pixels to the right of where they show, so
// a positive parallax moves the layer leftwards in the later views.
Real LayerShift(Real pixels, int k, int frames);

// The columns of the bottom layer (width `width`, parallax `pixels`) that
// every one of `frames` views shows; raises Error naming `path` when its
// movement leaves none.
struct ColumnSpan {
  int64_t left = 0;
  uint32_t width = 0;
};
ColumnSpan CommonColumns(const QString& path, uint32_t width, Real pixels, int frames);

// One layer opened for the stack: its rows (colours in the working model and
// alpha), its parallax in view pixels and its corner.
struct StackLayer {
  std::shared_ptr<SharedRows> rows;
  Real pixels = 0;
  int64_t x = 0, y = 0;
};

// The `frames` made views of `layers` (back to front; the first is the
// bottom), showing its columns `columns` (CommonColumns' for a parallax at
// least the bottom's), rows in `working`'s model. Every layer above the
// bottom one must carry an alpha (raises Error naming it otherwise). The
// views read through the layers' rows, which must outlive them.
std::vector<std::unique_ptr<SourceReader>> OpenLayeredViews(const std::vector<StackLayer>& layers, int frames,
                                                            ColumnSpan columns, ColourModel working,
                                                            FilterPath path = DefaultFilterPath());

}  // namespace plivora
