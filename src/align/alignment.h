// Aligning a photographed series: each view's turn and vertical shift
// against its neighbour, chained from the reference (the first view), and
// the key plane's horizontal shifts; then how far the scene still moves
// sideways between neighbours (the depth budget's measurements).
//
// Views are read through the view readers, one at a time, into grey copies
// reduced to about 1200 pixels on their longer side. Each neighbour pair is
// matched whole by phase correlation (or, where the views differ too much,
// by matched features with the outliers cast out), then patch by patch to a
// hundredth of a copy pixel; the patches' vertical shifts across the width
// give the turn. The key rectangle's content gives the horizontal shift.
// OpenCV does the matching, in the alignment search module the programs
// open only here (search_module.h); its numbers (float images, double
// warps) become Real at the room's edge.
#pragma once

#include <QStringList>
#include <optional>
#include <vector>

#include "align/key_plane.h"
#include "common/progress.h"
#include "series/view_transform.h"

namespace plivora {

struct AlignOptions {
  std::optional<KeyRect> key;     // the reference view's centre third when none
  std::optional<Real> keyShift;   // view k shifted k x keyShift pixels instead of the key plane's fit
  bool negativeInput = false;     // ".gjs" series: CMYK samples stored inverted
};

// The scene's horizontal disparity between aligned views `first` and
// first + 1 (numbered from 0): its 1st and 99th percentiles, view pixels,
// relative to the key plane; negative moves left from the first to the
// second.
struct NeighbourParallax {
  int first = 0;
  Real low = 0, high = 0;
};

struct Alignment {
  std::vector<ViewTransform> transforms;  // one a view; the reference's turn and vertical shift are 0
  KeyRect key;                            // the key rectangle used
  std::vector<Real> keyPositions;         // the key content's measured position in each view, view pixels right of the reference's
  KeyLine keyLine;                        // the line the key plane is held to (or -k x keyShift)
  std::vector<NeighbourParallax> parallax;  // one a neighbour pair
  std::vector<int> byFeatures;            // the pairs matched by features (first views)
};

// Aligns the views at `paths` (at least two). Raises the readers' errors,
// the key rectangle's refusals, "Cannot align views K and K+1: ..." for a
// pair that cannot be matched, and the module's (search_module.h) when it
// cannot be loaded.
Alignment AlignSeries(const QStringList& paths, const AlignOptions& options, const ProgressFn& progress = {});

}  // namespace plivora
