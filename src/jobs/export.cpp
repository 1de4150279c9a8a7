#include "jobs/export.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "common/error.h"
#include "common/output_file.h"
#include "drawing/caption_strip.h"
#include "interlace/horizontal_composer.h"
#include "interlace/row_composer.h"
#include "interlace/row_engine.h"
#include "jobs/export_plan.h"
#include "jobs/framed_plate.h"
#include "jobs/made_views.h"
#include "plate/plate_writer.h"
#include "plate/strip_encoders.h"
#include "series/source_image.h"
#include "series/view_error.h"

namespace plivora {

namespace {

// What a picked view pixel becomes: the grey plate's grey, or the pixel as
// it is on colour plates (inverted back for ".gjs" series either way).
PixelRule RuleFor(PlateColour colour, bool negativeInput) {
  if (colour == PlateColour::kGrey) return GreyRule(negativeInput);
  return InkRule(negativeInput);
}

// The composer of the plan's lenses, over views of these widths.
std::unique_ptr<ImageComposer> ComposerFor(const PlatePlan& plan, const std::vector<uint32_t>& viewWidths, PixelRule rule) {
  const ColumnViewMap map = BuildColumnViewMap(plan.plate.lens, plan.parameters.photoCount, plan.shift);
  if (plan.plate.lenses == Lenses::kVertical) return std::make_unique<RowComposer>(plan.plate.lens, map, viewWidths, rule);
  return std::make_unique<HorizontalComposer>(plan.plate, map, *std::max_element(viewWidths.begin(), viewWidths.end()), rule);
}

// A row of a view; a decoder that runs out of memory is named.
void ReadViewRow(SourceReader& view, uint32_t row, uint8_t* dest) {
  try {
    view.ReadRow(row, dest);
  } catch (const std::bad_alloc&) {
    FailView(view.image().Path, QStringLiteral("there is not enough memory to decode it"));
  }
}

// The rows the composer will ask of every view, row set after row set.
ViewSet::RowsToRead RowsComposed(const ImageComposer& composer, const ViewSet& views) {
  ViewSet::RowsToRead rows(views);
  std::vector<uint8_t> set(composer.RowSetBytes());
  const ViewRowReader note = [&rows](size_t view, uint32_t row, uint8_t*) { rows.Add(view, row); };
  int64_t last = -1;
  for (int64_t r = 0; r < composer.Rows(); ++r) {
    const uint32_t q = composer.RowSetOf(r);
    if (int64_t(q) == last) continue;
    composer.ReadRowSet(q, set.data(), note);
    last = q;
  }
  return rows;
}

// The source columns the composer picks from: the width of the sampling
// grid, which for horizontal lenses runs down the turned plate.
uint32_t ColumnsComposed(const PlateGeometry& plate) {
  return plate.lenses == Lenses::kVertical ? plate.lens.minViewWidth : plate.lens.minViewHeight;
}

// Writes the plan into its files, or into `into` when given (one panel).
void Write(const ExportRequest& req, ExportPlan& plan, ProgressReporter& progress, std::unique_ptr<PlateWriter> into = {}) {
  const bool toFiles = !into;
  const PlatePlan& p = plan.plate;
  const ExportSettings& s = req.settings;
  ViewSet& views = *plan.views;
  std::vector<uint32_t> viewWidths;
  for (size_t v = 0; v < views.size(); ++v) viewWidths.push_back(views[v].image().Width);
  if (p.plate.lenses == Lenses::kVertical) RowComposer::RowSetBytesFor(viewWidths);

  // Compressed strips are encoded on lanes of their own, one a core: the
  // codecs, not the composer, set the pace then. Declared before the plates
  // that submit to them.
  StripEncoders encoders(!toFiles || s.form.compression == Compression::None ? 0 : WorkerThreads(req.threads));
  // The caption strips are drawn beside the image rows (their large glyphs
  // cost about as much as a small export's rows).
  std::vector<PanelPlate> panels;
  for (const PanelPlan& panel : p.panels) {
    std::unique_ptr<PlateWriter> plate =
        toFiles ? CreatePlateWriter(panel.path, panel.layout, s.form, encoders, req.tooLargeAdvice) : std::move(into);
    if (s.lens.mirror) plate = MirroredPlate(std::move(plate), panel.width);
    panels.push_back({std::move(plate), panel.first, panel.width, {}, s.colour.plate == PlateColour::kRgb});
  }
  std::vector<OutputFile*> files;
  if (toFiles)
    for (PanelPlate& panel : panels) files.push_back(&panel.plate->file());
  OutputFile::CheckDistinct(files);
  RowEngine engine(ComposeThreads(req.threads));
  engine.StartBeside([&] {
    for (size_t k = 0; k < panels.size(); ++k) panels[k].caption = RenderCaptionStrip(p.panels[k].caption);
  });
  // The image rows go through the press frame (with marks) and are cut
  // into the panels.
  std::unique_ptr<PlateWriter> plate = PanelsOf(panels);
  if (s.marks) plate = FramedPlate(std::move(plate), p.frame, s.colour.plate);
  progress.Set(25);

  const std::unique_ptr<ImageComposer> composer = ComposerFor(p, viewWidths, RuleFor(s.colour.plate, req.negativeInput));
  // The colour transforms were being made while the caption strip started
  // and the plate was set up; one LittleCMS refuses stops the export here,
  // before any row.
  plan.colours.WaitForTransforms();
  // Views that decode or convert their rows do so on worker threads, ahead
  // of the engine's reader thread.
  views.ReadAhead(RowsComposed(*composer, views), ColumnsComposed(p.plate), WorkerThreads(req.threads));
  const ViewRowReader viewRow = [&views](size_t view, uint32_t row, uint8_t* dest) { ReadViewRow(views[view], row, dest); };
  engine.WriteRows([&](uint32_t which, uint8_t* set) { composer->ReadRowSet(which, set, viewRow); }, *composer,
                   [&](const uint8_t* rows, size_t count, size_t stride) { plate->Append(rows, count, stride); },
                   {0, size_t(p.plate.width)},
                   [&](int64_t done) { progress.Set(Real(done - 1) * 73 / Real(p.plate.imageRows) + 25); });
  engine.WaitBeside();
  plate->Finish();
  if (toFiles) OutputFile::CommitTogether(files);
  progress.Set(100);
}

}  // namespace

std::optional<CommonArea> AlignedAreaOf(const QStringList& views, const std::vector<ViewTransform>& transforms) {
  if (std::all_of(transforms.begin(), transforms.end(), [](const ViewTransform& t) { return t.Identity(); })) return std::nullopt;
  std::vector<PlacedView> placed;
  for (qsizetype i = 0; i < views.size(); ++i) {
    SourceImage image;
    try {
      ReadSourceHeader(views[i], image);
    } catch (const std::bad_alloc&) {
      FailView(views[i], QStringLiteral("there is not enough memory to open it"));
    }
    const ViewTransform t = size_t(i) < transforms.size() ? transforms[size_t(i)] : ViewTransform{};
    CheckViewTransform(views[i], t);
    placed.push_back({image.Width, image.Height, t});
  }
  return CommonAreaOf(placed);
}

QString PanelFileName(const QString& path, int k, int panels) {
  // The extension is the name's text from its last "." on, as for the
  // views: ".tif" is all extension, so its panels are "-1-of-2.tif", never
  // hidden.
  const qsizetype slash = path.lastIndexOf(QChar('/'));
  const qsizetype dot = path.lastIndexOf(QChar('.'));
  const qsizetype at = dot > slash ? dot : path.size();
  return path.left(at) + QStringLiteral("-%1-of-%2").arg(k).arg(panels) + path.mid(at);
}

void WritePlan(const ExportRequest& request, ExportPlan& plan, std::unique_ptr<PlateWriter> plate, ProgressReporter& progress) {
  if (plan.plate.panels.size() != 1)
    Fail(QStringLiteral("A plan of %1 panels was to be written into one plate (a fault in this program)").arg(plan.plate.panels.size()));
  Write(request, plan, progress, std::move(plate));
}

void ExportInterlaced(const ExportRequest& request, const ProgressFn& progress) {
  ProgressReporter reporter(progress);
  try {
    // The composer's table of the pixel rule's ties (a ms of work) is built
    // beside the header pass.
    Lane tieTable;
    tieTable.Start([] { DecimalTieWords(); });
    ExportPlan plan = PlanExport(request, reporter);
    // The made views are saved once the plate's plan has passed every
    // check, so that a refused export leaves no views behind.
    if (!request.settings.made.saveViews.isEmpty()) {
      const ProgressFn silent;
      ProgressReporter saving(silent);
      SaveMadeViews(request, saving);
    }
    Write(request, plan, reporter);
  } catch (const std::bad_alloc&) {
    Fail(QStringLiteral("Not enough memory to export \"%1\"").arg(request.outputPath));
  }
}

}  // namespace plivora
