// The views stage of an export request: the shifts and turns an export
// reads its views through, found by --align auto (or the window's Auto
// align) or stepped by --key-shift, and the depth budget measured on the
// way. The command line and the window call the same two functions; this
// file pair is its own library (plivora_view_alignment), so that only the
// programs that align carry the alignment search's loader (OpenCV itself
// is loaded only when a search runs).
#pragma once

#include <QStringList>
#include <vector>

#include "align/depth_budget.h"
#include "common/progress.h"
#include "jobs/export.h"
#include "jobs/made_views.h"

namespace plivora {

struct FoundAlignment {
  std::vector<ViewTransform> transforms;     // one a view of the request
  std::vector<NeighbourParallax> parallax;   // measured by --align auto; empty otherwise
};

// With --align auto, aligns the request's views (the key plane held still
// by the key rectangle's fit, or stepped by --key-shift); with --key-shift
// alone, moves view k (from 0) k x S pixels across on top of the given
// shifts; otherwise returns the request's own shifts and turns. Raises the
// readers' and the alignment's errors. `progress` hears the search's
// percentage.
FoundAlignment FindAlignment(const ExportRequest& request, const ProgressFn& progress = {});

// The depth budget of `parallax` on the plate `request` writes, of
// `views` views (0: the request's view files).
DepthBudget BudgetOf(const ExportRequest& request, const std::vector<NeighbourParallax>& parallax, int views = 0);

// The parallax between neighbouring made views of `request` (one pair
// stands for all: every pair moves alike), in view pixels as the views
// stage measures it: negative leftwards (in front of the key plane).
std::vector<NeighbourParallax> MadeParallax(const ExportRequest& request, const MadeViewPlan& made);

}  // namespace plivora
