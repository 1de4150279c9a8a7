// The export's views made from layers (ExportRequest::layers) or from one
// picture and its depth map (--depth-map): how many, how large, how far a
// lens width reaches in their pixels, and the readers that make them.
//
// A lens width at the plate is, in view pixels, the views' width over the
// lenses across the image (its width in inches, with the bleed, times the
// LPI). Views from layers lose the columns the bottom layer's own movement
// uncovers, and so are narrower than it: the lens width is then found for
// the narrower view, which the plate stretches over the same width.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "common/numbers.h"
#include "common/progress.h"
#include "jobs/export.h"
#include "series/colour_plan.h"
#include "series/layered_views.h"
#include "series/view_series.h"
#include "series/view_set.h"

namespace plivora {

// True when the request makes its views (layers, or a depth map).
bool MakesViews(const ExportRequest& request);

struct MadeViewPlan {
  int frames = 0;
  Real pixelsPerLens = 0;  // view pixels a lens width at the plate spans
  ColumnSpan columns;      // of the bottom layer (or the picture) the views show
  uint32_t height = 0;
  QStringList files;       // the files read, in the order they are opened: the layers, or the picture
};

// Reads the headers and plans the views; raises Error for layers and view
// files given together, a depth map with other than one picture, a bottom
// layer whose movement leaves no column, and the readers' refusals.
MadeViewPlan PlanMadeViews(const ExportRequest& request);

// "view 01" .. : the names the summary gives the made views.
QStringList MadeViewNames(int frames);

// Opens what `made` reads into `views` (which must be empty; progress 0 to
// 20 over the files), converts it into the plate's colours and puts the
// made views in its listings, as the lens shows them (`sequence`). Raises
// the refusals of the layers (an upper layer without alpha) and of the
// depth map (size, model, depth).
ColourPlan OpenMadeViews(const ExportRequest& request, const MadeViewPlan& made, const FrameSequence& sequence,
                         ViewSet& views, ProgressReporter& progress);

// Writes the made views into request.settings.made.saveViews as
// view-01.tif ..: 8 bits a sample in the plate's working model (CMYK, or
// RGB on an RGB plate), with the plate's profile, every file complete
// before any has its name.
void SaveMadeViews(const ExportRequest& request, ProgressReporter& progress);

// The folder's file of view k (1 ..): "DIR/view-07.tif".
QString MadeViewFile(const QString& folder, int k, int frames);

}  // namespace plivora
