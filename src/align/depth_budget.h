// The depth budget: how far the aligned scene moves sideways between
// neighbouring views, against the lens. Parallax beyond about one lens
// width between neighbours shows both views' copies of a thing at once:
// the print ghosts.
#pragma once

#include <QStringList>
#include <vector>

#include "align/alignment.h"
#include "common/numbers.h"

namespace plivora {

// How a view pixel meets the plate and the lens.
struct PlateScale {
  Real viewPixelsPerInch = 0;  // view pixels across one inch of the print
  Real dpi = 0;                // plate pixels per inch
  Real lpi = 0;                // lenses per inch
};

// One figure of parallax in every unit the operator may think in.
struct Parallax {
  Real viewPixels = 0, platePixels = 0, inches = 0, lensWidths = 0;
  int pair = 0;  // between views pair and pair + 1, numbered from 1 (0: no pair)
};

struct DepthBudget {
  // The most any neighbour pair shows in front of the key plane (moving
  // left from a view to the next, for views taken left to right) and
  // behind it, and where.
  Parallax front, behind;
  Real lensViewPixels = 0;  // view pixels one lens covers
  int frames = 0;           // the views one lens can show: DPI / LPI, whole
  bool ghosting = false;    // front or behind passes one lens width
};

// Raises "Cannot work out the depth budget: ..." for a scale that is not
// above 0.
DepthBudget MeasureDepthBudget(const std::vector<NeighbourParallax>& parallax, const PlateScale& scale);

// The budget as lines for --dry-run and the window's summary: the figures,
// the frame count, and the warning when it ghosts, in English or Chinese.
QStringList DepthBudgetLines(const DepthBudget& budget, bool chinese = false);

}  // namespace plivora
