// The command line's views made from layers or a depth map: --layer
// FILE:DEPTH[:X,Y] as typed, the request they make, the parallax the made
// views carry (for the depth budget) and the line --dry-run names them with.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "align/alignment.h"
#include "cli/command_line.h"
#include "jobs/export.h"
#include "jobs/job_file.h"
#include "jobs/made_views.h"

namespace plivora {

// "art/logo.png:0.5" or "art/logo.png:-1:120,40": the file, its depth in
// lens widths and its corner. The file name may hold ":" itself (the depth
// and the corner are taken from the end). Raises UsageError naming --layer.
Layer ParseLayerArgument(const QString& text);

// The layers typed (--layer), else the job's when no views are typed.
std::vector<Layer> LayersOf(const ParsedOptions& typed, const Job* job);

// `request` (settings, layers or picture and map given) completed as the
// export will take it: the made views are the reference (their size, and
// the height their proportions give when none is typed), and the plate is
// checked for lenses and rows. Raises UsageError for --align or
// --key-shift, which align view files.
ExportRequest MadeRequest(ExportRequest request);

// "made: 24 views (view 01 .. view 24) from 4 layers, 1180 x 800 pixels".
QString MadeLine(const ExportRequest& request, const MadeViewPlan& made);

}  // namespace plivora
