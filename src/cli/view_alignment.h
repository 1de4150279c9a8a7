// The command line's views stage: the shifts and turns an export reads its
// views through, found by --align auto or stepped by --key-shift, and the
// depth budget measured on the way.
#pragma once

#include <QStringList>
#include <vector>

#include "align/depth_budget.h"
#include "jobs/export.h"

namespace plivora {

struct FoundAlignment {
  std::vector<ViewTransform> transforms;     // one a view of the request
  std::vector<NeighbourParallax> parallax;   // measured by --align auto; empty otherwise
};

// With --align auto, aligns the request's views (the key plane held still
// by the key rectangle's fit, or stepped by --key-shift); with --key-shift
// alone, moves view k (from 0) k x S pixels across on top of the given
// shifts; otherwise returns the request's own shifts and turns. Raises the
// readers' and the alignment's errors.
FoundAlignment FindAlignment(const ExportRequest& request);

// The depth budget of `parallax` on the plate `request` writes, of
// `views` views (0: the request's view files).
DepthBudget BudgetOf(const ExportRequest& request, const std::vector<NeighbourParallax>& parallax, int views = 0);

}  // namespace plivora
