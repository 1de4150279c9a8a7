#include "jobs/export.h"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "common/error.h"
#include "common/file_names.h"
#include "common/numbers.h"
#include "common/output_file.h"
#include "drawing/caption_strip.h"
#include "interlace/horizontal_composer.h"
#include "interlace/row_composer.h"
#include "interlace/row_engine.h"
#include "jobs/press_frame.h"
#include "plate/level_rows.h"
#include "plate/plate_writer.h"
#include "plate/strip_encoders.h"
#include "plate/tiff_header.h"
#include "series/colour_plan.h"
#include "series/view_set.h"

namespace plivora {

namespace {

// The header pass: every view is opened and validated, in series order, and
// stays open for the row loop; a file listed again shares the reader of its
// first listing. The views' decoding buffers are claimed from all headers
// before any view is decoded. Narrows *minWidth and *minHeight to the
// smallest view.
void OpenViews(const QStringList& frames, ViewSet& views, uint32_t* minWidth, uint32_t* minHeight,
               ProgressReporter& progress) {
  const auto photoCount = int(frames.size());
  for (int i = 0; i < photoCount; ++i) {
    views.Add(frames[i]);
    *minWidth = std::min(*minWidth, views[size_t(i)].image().Width);
    *minHeight = std::min(*minHeight, views[size_t(i)].image().Height);
    progress.Set(Real(i + 1) * 20 / photoCount);
  }
  views.Start();
}

int PlateSamples(PlateColour colour) { return colour == PlateColour::kRgb ? 3 : 4; }

// What a picked view pixel becomes: the grey plate's grey, or the pixel as
// it is on colour plates (inverted back for ".gjs" series either way).
PixelRule RuleFor(PlateColour colour, bool negativeInput) {
  if (colour == PlateColour::kGrey) return GreyRule(negativeInput);
  return InkRule(negativeInput);
}

// One file of the export: the whole print, or one panel of it.
struct Panel {
  QString path;
  int64_t first = 0, width = 0;  // its columns of the print
  CaptionStripInput caption;
  std::vector<uint8_t> strip;  // the caption strip, drawn beside the rows
  std::unique_ptr<PlateWriter> plate;
};

// The panels of a mirrored plate are those of the mirrored print: the
// first, at the left as printed, is the last part of the print mirrored.
// With marks the first and the last panel hold the margins at their edges.
std::vector<Panel> PlanPanels(const ExportRequest& req, const ExportParameters& p, const PlateGeometry& plate,
                              const PressMarks& frame, int64_t shift) {
  if (req.panels < 1 || req.panels > kMaxPanels)
    Fail(QStringLiteral("A print can be cut into 1 to %1 panels, not %2").arg(kMaxPanels).arg(req.panels));
  std::vector<int64_t> cuts = PanelCuts(plate, p.photoCount, req.panels, shift);
  for (int64_t& cut : cuts) cut += frame.imageLeft;
  cuts.front() = 0;
  cuts.back() = frame.width;
  if (req.lens.mirror) {
    std::reverse(cuts.begin(), cuts.end());
    for (int64_t& cut : cuts) cut = frame.width - cut;
  }
  std::vector<Panel> panels(size_t(req.panels));
  for (int k = 0; k < req.panels; ++k) {
    Panel& panel = panels[size_t(k)];
    const bool whole = req.panels == 1;
    panel.path = whole ? req.outputPath : PanelFileName(req.outputPath, k + 1, req.panels);
    panel.first = cuts[size_t(k)];
    panel.width = cuts[size_t(k) + 1] - panel.first;
    if (req.lens.mirror) panel.first = frame.width - cuts[size_t(k) + 1];  // the print's columns it mirrors
    panel.caption = {int32_t(panel.width), int32_t(plate.stripRows), plate.stripCompress, p.dpiE9,
                     AbsoluteFileName(panel.path), req.now,
                     whole ? QString() : QStringLiteral("%1 of %2").arg(k + 1).arg(req.panels), plate.columnSqueeze};
    if (req.form.Plain())
      CheckFitsPlainTiff(whole ? QStringLiteral("An output") : QStringLiteral("Panel %1 of %2").arg(k + 1).arg(req.panels),
                         panel.width, frame.rows + plate.stripRows, req.tooLargeAdvice, PlateSamples(req.colour.plate));
  }
  return panels;
}

void Export(const ExportRequest& req, ProgressReporter& progress) {
  // The series as the lens shows it: a file named several times is read once.
  const QStringList frames = ExpandFrames(req.views, req.lens.frames);
  const ExportParameters p = ParseParameters(req.texts, int(frames.size()));
  if (!(req.lens.phase >= 0 && req.lens.phase < 1))
    Fail(QStringLiteral("The phase must be at least 0 and below 1 (a part of a lens), not %1")
             .arg(FormatGeneral15(req.lens.phase)));
  uint32_t minWidth = req.firstPhotoWidth > 0 ? uint32_t(req.firstPhotoWidth) : UINT32_MAX;
  uint32_t minHeight = req.firstPhotoHeight > 0 ? uint32_t(req.firstPhotoHeight) : UINT32_MAX;
  // The composer's table of the pixel rule's ties (a ms of work) is built
  // beside the header pass.
  Lane tieTable;
  tieTable.Start([] { DecimalTieWords(); });
  ViewSet views;
  OpenViews(frames, views, &minWidth, &minHeight, progress);
  // Every view's rows in the plate's model; the profiles checked now.
  const ColourPlan colours = PlanColours(views, req.colour, req.negativeInput);

  const PlateGeometry plate = ComputePlate(p, req.lens.lenses, minWidth, minHeight);
  const ExportGeometry& g = plate.lens;
  const int64_t shift = PhaseShift(p, req.lens.phase);
  const QString slug = req.marks ? SlugText(req.slugName.isEmpty() ? req.outputPath.section(QChar('/'), -1) : req.slugName,
                                            p, req.texts, g.lensCount, req.colour.plate)
                                 : QString();
  const PressMarks frame = PlanPressFrame(p, plate, req.marks, req.colour.plate, slug);
  std::vector<Panel> panels = PlanPanels(req, p, plate, frame, shift);
  for (const Panel& panel : panels)
    if (views.Holds(panel.path))
      Fail(QStringLiteral("The output \"%1\" is one of the views; choose another file name").arg(panel.path));
  std::vector<uint32_t> viewWidths;
  for (size_t v = 0; v < views.size(); ++v) viewWidths.push_back(views[v].image().Width);
  const bool vertical = req.lens.lenses == Lenses::kVertical;
  if (vertical) RowComposer::RowSetBytesFor(viewWidths);

  // Compressed strips are encoded on lanes of their own, one a core: the
  // codecs, not the composer, set the pace then. Declared before the plates
  // that submit to them.
  StripEncoders encoders(req.form.compression == Compression::None ? 0 : WorkerThreads(req.threads));
  // The caption strips are drawn beside the image rows (their large glyphs
  // cost about as much as a small export's rows).
  RowEngine engine(ComposeThreads(req.threads));
  engine.StartBeside([&] {
    for (Panel& panel : panels) panel.strip = RenderCaptionStrip(panel.caption);
  });
  // Every panel fills a strip of its own: 1 MiB each, less when there are
  // many, but never below 64 KiB.
  const uint64_t stripBytes = std::max<uint64_t>(uint64_t(1) << 16, (uint64_t(1) << 20) / panels.size());
  std::vector<OutputFile*> files;
  for (Panel& panel : panels) {
    PlateLayout layout;
    layout.width = panel.width;
    layout.rows = frame.rows + plate.stripRows;
    layout.xResolutionE9 = plate.xResolutionE9;
    layout.yResolutionE9 = plate.yResolutionE9;
    layout.dateTime = TiffDateTime(req.now, req.locale);
    layout.stripBytes = stripBytes;
    layout.samples = uint16_t(PlateSamples(req.colour.plate));
    layout.iccProfile = colours.plateProfile;
    panel.plate = CreatePlateWriter(panel.path, layout, req.form, encoders, req.tooLargeAdvice);
    if (req.lens.mirror) panel.plate = MirroredPlate(std::move(panel.plate), panel.width);
    files.push_back(&panel.plate->file());
  }
  OutputFile::CheckDistinct(files);
  const ColumnViewMap map = BuildColumnViewMap(g, p.photoCount, shift);
  progress.Set(25);

  // Vertical lenses: every view's source row makes a row set. Horizontal
  // lenses: each file row reads one or two views' rows.
  const PixelRule rule = RuleFor(req.colour.plate, req.negativeInput);
  std::unique_ptr<ImageComposer> composer;
  RowSetReader read;
  if (vertical) {
    auto rows = std::make_unique<RowComposer>(g, map, viewWidths, rule);
    read = [&views, &c = *rows](uint32_t row, uint8_t* set) {
      for (size_t v = 0; v < views.size(); ++v) views[v].ReadRow(row, set + c.ViewOffset(v));
    };
    composer = std::move(rows);
  } else {
    auto rows = std::make_unique<HorizontalComposer>(plate, map, *std::max_element(viewWidths.begin(), viewWidths.end()), rule);
    read = [&views, &c = *rows](uint32_t row, uint8_t* set) {
      const HorizontalComposer::Sources s = c.SourcesOf(row);
      views[size_t(s.view)].ReadRow(s.sourceRow, set);
      if (s.needsNext) views[size_t(s.nextView)].ReadRow(s.sourceRow, set + c.NextSlot());
    };
    composer = std::move(rows);
  }
  // The margin above the image, its marks beside it, then one pass over
  // the views: every composed row is cut into the panels (with its margins
  // around it), then the margin below.
  std::optional<PressFrameRows> margins;
  const auto appendFrameRow = [&](const uint8_t* row) {
    for (const Panel& panel : panels) panel.plate->Append(row + size_t(panel.first) * 4, 1, size_t(frame.width) * 4);
  };
  if (req.marks) {
    margins.emplace(frame, req.colour.plate);
    margins->DrawSides();
    margins->DrawRows(0, int(frame.imageTop), appendFrameRow);
  }
  std::vector<uint8_t> frameRow(req.marks ? size_t(frame.width) * 4 : 0);
  int64_t imageRow = 0;
  const auto sink = [&](const uint8_t* rows, size_t count, size_t stride) {
    if (!margins) {
      for (const Panel& panel : panels) panel.plate->Append(rows + size_t(panel.first) * 4, count, stride);
      return;
    }
    for (size_t r = 0; r < count; ++r) {
      margins->AssembleRow(imageRow++, rows + r * stride, frameRow.data());
      appendFrameRow(frameRow.data());
    }
  };
  engine.WriteRows(read, *composer, sink, {0, size_t(plate.width)}, [&](int64_t done) {
    progress.Set(Real(done - 1) * 73 / Real(plate.imageRows) + 25);
  });
  if (margins) margins->DrawRows(frame.imageBottom, int(frame.rows - frame.imageBottom), appendFrameRow);

  engine.WaitBeside();
  for (Panel& panel : panels) {
    AppendLevelRows(panel.strip, panel.width, *panel.plate, req.colour.plate == PlateColour::kRgb);
    panel.plate->Finish();
  }
  OutputFile::CommitTogether(files);
  progress.Set(100);
}

}  // namespace

Real ParsePhase(const QString& text, const QString& what, QChar decimalSeparator) {
  const QString t = text.trimmed();
  Real phase = 0;
  const qsizetype slash = t.indexOf(QChar('/'));
  bool ok = true;
  if (slash > 0) {
    const qlonglong numerator = t.left(slash).trimmed().toLongLong(&ok);
    bool denominatorOk = false;
    const qlonglong denominator = t.mid(slash + 1).trimmed().toLongLong(&denominatorOk);
    ok = ok && denominatorOk && denominator > 0;
    if (ok) phase = Real(numerator) / Real(denominator);
  } else {
    try {
      phase = ParseFloat(t, decimalSeparator);
    } catch (const Error&) {
      ok = false;
    }
  }
  if (!ok) Fail(QStringLiteral("%1 \"%2\" is not a number or a fraction such as 3/8").arg(what, text));
  if (!(phase >= 0 && phase < 1))
    Fail(QStringLiteral("%1 \"%2\" must be at least 0 and below 1: it is a part of a lens").arg(what, text));
  return phase;
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

void ExportInterlaced(const ExportRequest& request, const ProgressFn& progress) {
  ProgressReporter reporter(progress);
  try {
    Export(request, reporter);
  } catch (const std::bad_alloc&) {
    Fail(QStringLiteral("Not enough memory to export \"%1\"").arg(request.outputPath));
  }
}

}  // namespace plivora
