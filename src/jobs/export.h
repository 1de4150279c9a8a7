// The interlaced export: one function that both the window and the command
// line call, so that they write the same bytes for the same inputs.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "colour/plate_colour.h"
#include "common/progress.h"
#include "common/run_inputs.h"
#include "interlace/export_geometry.h"
#include "plate/output_form.h"
#include "series/view_series.h"

namespace plivora {

// How the plate meets its lens: the lenses' direction, the frames they show,
// where the pattern starts, and which side of the lens is printed.
struct LensOptions {
  Lenses lenses = Lenses::kVertical;
  FrameSequence frames;  // the series as the lens shows it
  Real phase = 0;        // the pattern moved on by this much of a lens, 0 <= phase < 1
  bool mirror = false;   // mirrored left to right, for printing on the back of a clear lens
};

// "0.375", "3/8": a phase of a lens, 0 <= phase < 1. Raises "WHAT "TEXT"
// must be ..." or "WHAT "TEXT" is not a number ...".
Real ParsePhase(const QString& text, const QString& what, QChar decimalSeparator = QChar('.'));

struct ExportRequest {
  ExportTexts texts;
  QStringList views;  // in series order; the first is view 1
  // The reference size of the last import; it takes part in the smallest
  // width and height even when its view has left the list. 0 means none.
  int32_t firstPhotoWidth = 0;
  int32_t firstPhotoHeight = 0;
  bool negativeInput = false;  // ".gjs" series: samples stored inverted
  QString outputPath;
  QDateTime now;    // printed in the caption strip and the DateTime tag
  QLocale locale;   // date and time formats of the DateTime tag
  int threads = 0;  // threads to compose on; 0: PLIVORA_THREADS, else one fewer than the cores
  OutputForm form;  // compression and BigTIFF; the plain classic file by default
  ColourOptions colour;  // the plate's colour and profiles; the grey plate by default
  LensOptions lens;      // the classic vertical plate by default
  // 1: one file. 2 to 64: the print cut at lens boundaries into that many
  // files side by side, "NAME-K-of-N.EXT", written together or not at all.
  int panels = 1;
  // A white margin around the image with crop and registration marks, the
  // lens alignment bar and a line naming the plate (`slugName`: the job's
  // or the output's name).
  bool marks = false;
  QString slugName;
  // Files the run reads besides the views and profiles (the job, the job
  // list, the profiles file): no output may land on one of them, nor on a
  // view or a profile.
  RunInputs inputs;
  // How a plain file over 4 GiB is refused: what the operator can do.
  QString tooLargeAdvice = QStringLiteral("use --bigtiff if the RIP reads BigTIFF, or --panels N to split the print into N files");
};

constexpr int kMaxPanels = 64;

// "plate.tif" gives "plate-2-of-3.tif", ".tif" gives "-2-of-3.tif"; a name
// without an extension gets the suffix at its end.
QString PanelFileName(const QString& path, int k, int panels);

// Writes the interlaced TIFF (or its panels). Everything is checked
// (parameters, every view, geometry, sizes) before the output is created;
// the files appear under their names only when all are complete. Raises
// Error with the message for the user.
void ExportInterlaced(const ExportRequest& request, const ProgressFn& progress);

}  // namespace plivora
