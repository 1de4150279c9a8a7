// The interlaced export: one function that both the window and the command
// line call, so that they write the same bytes for the same inputs. It
// plans first (export_plan.h), with nothing opened for writing, then writes
// what the plan says.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/progress.h"
#include "common/run_inputs.h"
#include "options/export_settings.h"
#include "series/layered_views.h"
#include "series/view_transform.h"

namespace plivora {

struct ExportRequest {
  // Every export option, checked; the height given (the window's field, or
  // the reference view's aspect on the command line).
  ExportSettings settings;
  QStringList views;  // in series order; the first is view 1
  // Layers to make the views from (layered_views.h), back to front;
  // empty for a series of view files. With a depth map (settings.made),
  // `views` holds its one picture.
  std::vector<Layer> layers;
  // Each view's shift and turn, in the order of `views` (empty, or shorter:
  // the rest unmoved). With any, the views are read through them and the
  // series is cut to the area every moved view covers.
  std::vector<ViewTransform> transforms;
  // The reference size of the last import; it takes part in the smallest
  // width and height even when its view has left the list. 0 means none.
  int32_t firstPhotoWidth = 0;
  int32_t firstPhotoHeight = 0;
  bool negativeInput = false;  // ".gjs" series: samples stored inverted
  QString outputPath;
  QDateTime now;    // printed in the caption strip and the DateTime tag
  QLocale locale;   // date and time formats of the DateTime tag
  int threads = 0;  // threads to compose on; 0: PLIVORA_THREADS, else one fewer than the cores
  // The line naming the plate in a marked plate's margin: the job's name,
  // or the output's when empty.
  QString slugName;
  // Files the run reads besides the views and profiles (the job, the job
  // list, the profiles file): no output may land on one of them, nor on a
  // view or a profile.
  RunInputs inputs;
  // How a plain file over 4 GiB is refused: what the operator can do.
  QString tooLargeAdvice = QStringLiteral("use --bigtiff if the RIP reads BigTIFF, or --panels N to split the print into N files");
};

// The area every view covers once moved by its transform (one a view; the
// rest unmoved), from the views' headers; none when no view moves. Raises
// the readers' errors and CommonAreaOf's.
std::optional<CommonArea> AlignedAreaOf(const QStringList& views, const std::vector<ViewTransform>& transforms);

// "plate.tif" gives "plate-2-of-3.tif", ".tif" gives "-2-of-3.tif"; a name
// without an extension gets the suffix at its end.
QString PanelFileName(const QString& path, int k, int panels);

// Writes the interlaced TIFF (or its panels), and first the made views
// when settings.made.saveViews asks for them. Everything is checked
// (parameters, every view, geometry, sizes) before the output is created;
// the files appear under their names only when all are complete. Raises
// Error with the message for the user.
void ExportInterlaced(const ExportRequest& request, const ProgressFn& progress);

}  // namespace plivora
