// The plate the lens view looks at: what an export of the window's settings
// would write, made by the export's own plan and composition but sampled for
// the lens as its rows come (sampled_plate.h) instead of written to a file.
#pragma once

#include <memory>

#include "common/progress.h"
#include "jobs/export.h"
#include "options/export_settings.h"
#include "proof/sampled_plate.h"

namespace plivora {

// The lens a proof of plates of `settings` looks through: the LPI as typed
// (the lens's real pitch), the lenses' direction, the sheet's thickness and
// index.
LensModel LensOf(const ExportSettings& settings);

// The plate of `request` (one panel: its settings' panels are 1), sampled
// for `lens`. Raises what the export's plan raises, and the proof's
// refusals of the lens for this plate. `progress` runs from 0 to 100.
std::unique_ptr<SampledPlate> SampleExport(const ExportRequest& request, const LensModel& lens, const ProgressFn& progress);

}  // namespace plivora
