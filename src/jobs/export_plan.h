// An export planned before anything is written: the frames, the geometry,
// the panels and where they are cut, the press frame, the colours (every
// view open, every profile checked), the output form and, where the form
// fixes it, the exact size of every file. A plan opens nothing for writing;
// the export carries it out, and the window's summary and --dry-run report
// it, so all three say the same.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "drawing/caption_strip.h"
#include "drawing/press_marks.h"
#include "interlace/export_geometry.h"
#include "jobs/export.h"
#include "plate/plate_writer.h"
#include "series/colour_plan.h"
#include "series/view_set.h"

namespace plivora {

// One file of the plate: the whole print, or one panel of it.
struct PanelPlan {
  QString path;
  // Its columns of the plate as printed (with its margins when marked); on
  // a mirrored plate, the columns of the unmirrored print it mirrors.
  int64_t first = 0, width = 0;
  CaptionStripInput caption;
  PlateLayout layout;              // what its header says
  std::optional<uint64_t> bytes;   // its exact size, where the output form fixes it
};

// The plate from the figures alone.
struct PlatePlan {
  ExportParameters parameters;
  int frames = 0;             // the series as the lens shows it
  PlateGeometry plate;
  int64_t shift = 0;          // the phase, in columns
  PressMarks frame;           // the plate as printed: the image alone without marks
  std::vector<PanelPlan> panels;
  uint16_t samples = 4;       // 4: CMYK or grey; 3: RGB
  QByteArray profile;         // the ICC profile the plate carries
  int64_t FileWidth() const { return frame.width; }  // the whole print's
  int64_t FileRows() const { return frame.rows + plate.stripRows; }
  // Every file's bytes together, when each is exact.
  std::optional<uint64_t> Bytes() const;
};

// The plate of `request` for `frames` frames whose smallest view is
// minWidth x minHeight, carrying `profile`. Opens nothing; raises what the
// export would raise for these figures (OptionError for a plate without a
// lens, a pixel or a row).
PlatePlan PlanPlate(const ExportRequest& request, int frames, uint32_t minWidth, uint32_t minHeight,
                    const QByteArray& profile);

struct ExportPlan {
  QStringList frames;              // the views as the lens shows them
  std::unique_ptr<ViewSet> views;  // open, every listing's rows in the plate's colours
  ColourPlan colours;
  PlatePlan plate;
};

// Opens and checks every view (progress 0 to 20 over the header pass),
// plans the colours and the plate, and refuses any output that would land
// on a file the run reads.
ExportPlan PlanExport(const ExportRequest& request, ProgressReporter& progress);

// Carries out `plan` (PlanExport's, for `request`; one panel) into `plate`
// instead of the plan's file: the rows an export writes there, image rows
// then caption strip, top to bottom (mirrored and framed as the settings
// say), then Finish. The window's lens view sees a plate this way without
// writing it.
void WritePlan(const ExportRequest& request, ExportPlan& plan, std::unique_ptr<PlateWriter> plate, ProgressReporter& progress);

// What an export of a plan writes, as the window's summary and --dry-run
// tell it.
struct PlateSummary {
  int64_t fileWidth = 0, fileRows = 0;  // pixels of the whole print, margins and caption included
  int64_t xResolutionE9 = 0, yResolutionE9 = 0;
  int64_t lensCount = 0;                // across the lenses (down the plate for horizontal ones)
  Real pixelsPerLens = 0;
  int frames = 0;
  int compress = 1;                     // as the export takes it
  int64_t widthE4 = 0, heightE4 = 0;    // the interlaced image: the trim with its bleed
  int64_t trimWidthE4 = 0, trimHeightE4 = 0;
  int panels = 1;
  std::optional<uint64_t> bytes;        // exact, for the uncompressed classic file
  uint64_t rawBytes = 0;                // the pixels' bytes, for an estimate of the others
};
PlateSummary SummaryOf(const PlatePlan& plan);

// The summary as --dry-run prints it: one "what: value" line each.
QStringList SummaryLines(const PlateSummary& summary, const ExportSettings& settings, const QString& plateColours);

}  // namespace plivora
