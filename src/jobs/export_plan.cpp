#include "jobs/export_plan.h"

#include <algorithm>
#include <new>

#include "common/error.h"
#include "common/file_names.h"
#include "jobs/made_views.h"
#include "jobs/press_frame.h"
#include "plate/tiff_header.h"
#include "series/aligned_source.h"
#include "series/view_error.h"

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
    try {
      views.Add(frames[i]);
    } catch (const std::bad_alloc&) {
      FailView(frames[i], QStringLiteral("there is not enough memory to open it"));
    }
    *minWidth = std::min(*minWidth, views[size_t(i)].image().Width);
    *minHeight = std::min(*minHeight, views[size_t(i)].image().Height);
    progress.Set(Real(i + 1) * 20 / photoCount);
  }
  views.Start();
}

// With shifts or turns, every frame read through its view's and cut to the
// area all cover, which is then the reference size.
void AlignFrames(const ExportRequest& req, ViewSet& views, uint32_t* minWidth, uint32_t* minHeight) {
  if (std::all_of(req.transforms.begin(), req.transforms.end(), [](const ViewTransform& t) { return t.Identity(); })) return;
  std::vector<ViewTransform> frames;
  for (const int i : FrameIndices(int(req.views.size()), req.settings.lens.frames))
    frames.push_back(size_t(i) < req.transforms.size() ? req.transforms[size_t(i)] : ViewTransform{});
  for (int i = 0; i < int(req.views.size()) && size_t(i) < req.transforms.size(); ++i)
    CheckViewTransform(req.views[i], req.transforms[size_t(i)]);
  const CommonArea area = CommonAreaOf(views, frames);
  AlignViews(views, frames, area);
  *minWidth = std::min(*minWidth, area.width);
  *minHeight = std::min(*minHeight, area.height);
}

// The files of the plate: the whole print, or its panels cut at lens
// boundaries. The panels of a mirrored plate are those of the mirrored
// print: the first, at the left as printed, is the last part of the print
// mirrored. With marks the first and the last panel hold the margins at
// their edges.
std::vector<PanelPlan> PlanPanels(const ExportRequest& req, const PlatePlan& plan) {
  const int panels = req.settings.panels;
  const PressMarks& frame = plan.frame;
  std::vector<int64_t> cuts = PanelCuts(plan.plate, plan.parameters.photoCount, panels, plan.shift);
  for (int64_t& cut : cuts) cut += frame.imageLeft;
  cuts.front() = 0;
  cuts.back() = frame.width;
  const bool mirror = req.settings.lens.mirror;
  if (mirror) {
    std::reverse(cuts.begin(), cuts.end());
    for (int64_t& cut : cuts) cut = frame.width - cut;
  }
  std::vector<PanelPlan> files(static_cast<size_t>(panels));
  const bool whole = panels == 1;
  for (int k = 0; k < panels; ++k) {
    PanelPlan& panel = files[size_t(k)];
    panel.path = whole ? req.outputPath : PanelFileName(req.outputPath, k + 1, panels);
    panel.first = cuts[size_t(k)];
    panel.width = cuts[size_t(k) + 1] - panel.first;
    if (mirror) panel.first = frame.width - cuts[size_t(k) + 1];  // the print's columns it mirrors
    panel.caption = {int32_t(panel.width), int32_t(plan.plate.stripRows), plan.plate.stripCompress, plan.parameters.dpiE9,
                     AbsoluteFileName(panel.path), req.now,
                     whole ? QString() : QStringLiteral("%1 of %2").arg(k + 1).arg(panels), plan.plate.columnSqueeze};
    if (req.settings.form.Plain())
      CheckFitsPlainTiff(whole ? QStringLiteral("An output") : QStringLiteral("Panel %1 of %2").arg(k + 1).arg(panels),
                         panel.width, plan.FileRows(), req.tooLargeAdvice, plan.samples);
    PlateLayout& layout = panel.layout;
    layout.width = panel.width;
    layout.rows = plan.FileRows();
    layout.xResolutionE9 = plan.plate.xResolutionE9;
    layout.yResolutionE9 = plan.plate.yResolutionE9;
    layout.dateTime = TiffDateTime(req.now, req.locale);
    // Every panel fills a strip of its own: 1 MiB each, less when there
    // are many, but never below 64 KiB.
    layout.stripBytes = std::max<uint64_t>(uint64_t(1) << 16, (uint64_t(1) << 20) / uint64_t(panels));
    layout.samples = plan.samples;
    layout.iccProfile = plan.profile;
    panel.bytes = FileBytes(layout, req.settings.form);
  }
  return files;
}

}  // namespace

std::optional<uint64_t> PlatePlan::Bytes() const {
  uint64_t total = 0;
  for (const PanelPlan& panel : panels) {
    if (!panel.bytes) return std::nullopt;
    total += *panel.bytes;
  }
  return total;
}

PlatePlan PlanPlate(const ExportRequest& req, int frames, uint32_t minWidth, uint32_t minHeight, const QByteArray& profile) {
  const ExportSettings& s = req.settings;
  PlatePlan plan;
  plan.frames = frames;
  plan.parameters = s.Parameters(frames);
  const ExportParameters& p = plan.parameters;
  CheckPlateExtent(p, s.lens.lenses);
  plan.plate = ComputePlate(p, s.lens.lenses, minWidth, minHeight);
  plan.shift = PhaseShift(p, s.lens.phase);
  plan.samples = s.colour.plate == PlateColour::kRgb ? 3 : 4;
  plan.profile = profile;
  const QString name = req.slugName.isEmpty() ? req.outputPath.section(QChar('/'), -1) : req.slugName;
  const QString slug = s.marks ? SlugText(name, p, s.texts, plan.plate.lens.lensCount, s.colour.plate) : QString();
  plan.frame = PlanPressFrame(p, plan.plate, s.marks, s.colour.plate, slug);
  plan.panels = PlanPanels(req, plan);
  return plan;
}

namespace {

// The plan of an export whose views are made from layers or a depth map.
ExportPlan PlanMadeExport(const ExportRequest& req, ProgressReporter& progress) {
  ExportPlan plan;
  const MadeViewPlan made = PlanMadeViews(req);
  plan.frames = ExpandFrames(MadeViewNames(made.frames), req.settings.lens.frames);
  req.settings.Parameters(int(plan.frames.size()));
  plan.views = std::make_unique<ViewSet>();
  plan.colours = OpenMadeViews(req, made, req.settings.lens.frames, *plan.views, progress);
  plan.plate = PlanPlate(req, int(plan.frames.size()), made.columns.width, made.height, plan.colours.plateProfile);
  RunInputs inputs = req.inputs;
  for (const QString& file : made.files) inputs.Add(file, QStringLiteral("one of the layers or the picture"));
  if (!req.settings.made.depthMap.isEmpty()) inputs.Add(req.settings.made.depthMap, QStringLiteral("the depth map"));
  inputs.Add(req.settings.colour.cmykProfile, QStringLiteral("the CMYK profile"));
  inputs.Add(req.settings.colour.rgbProfile, QStringLiteral("the RGB profile"));
  for (const PanelPlan& panel : plan.plate.panels) inputs.CheckNotOutput(panel.path);
  return plan;
}

}  // namespace

ExportPlan PlanExport(const ExportRequest& req, ProgressReporter& progress) {
  if (MakesViews(req)) return PlanMadeExport(req, progress);
  if (!req.settings.made.saveViews.isEmpty())
    Fail(QStringLiteral("--save-views writes views made from layers or a depth map, and none are made here"));
  ExportPlan plan;
  // The series as the lens shows it: a file named several times is read once.
  plan.frames = ExpandFrames(req.views, req.settings.lens.frames);
  req.settings.Parameters(int(plan.frames.size()));  // the series' length refused before any view is read
  uint32_t minWidth = req.firstPhotoWidth > 0 ? uint32_t(req.firstPhotoWidth) : UINT32_MAX;
  uint32_t minHeight = req.firstPhotoHeight > 0 ? uint32_t(req.firstPhotoHeight) : UINT32_MAX;
  plan.views = std::make_unique<ViewSet>();
  OpenViews(plan.frames, *plan.views, &minWidth, &minHeight, progress);
  // Every view's rows in the plate's model; the profiles checked now.
  plan.colours = PlanColours(*plan.views, req.settings.colour, req.negativeInput);
  AlignFrames(req, *plan.views, &minWidth, &minHeight);
  plan.plate = PlanPlate(req, int(plan.frames.size()), minWidth, minHeight, plan.colours.plateProfile);
  RunInputs inputs = req.inputs;
  for (const QString& view : req.views) inputs.Add(view, QStringLiteral("one of the views"));
  inputs.Add(req.settings.colour.cmykProfile, QStringLiteral("the CMYK profile"));
  inputs.Add(req.settings.colour.rgbProfile, QStringLiteral("the RGB profile"));
  for (const PanelPlan& panel : plan.plate.panels) inputs.CheckNotOutput(panel.path);
  return plan;
}

PlateSummary SummaryOf(const PlatePlan& plan) {
  const ExportParameters& p = plan.parameters;
  PlateSummary s;
  s.fileWidth = plan.FileWidth();
  s.fileRows = plan.FileRows();
  s.xResolutionE9 = plan.plate.xResolutionE9;
  s.yResolutionE9 = plan.plate.yResolutionE9;
  s.lensCount = plan.plate.lens.lensCount;
  s.pixelsPerLens = Divide(Real(p.dpiE9), Real(p.lpiE9));
  s.frames = plan.frames;
  s.compress = p.compress;
  s.widthE4 = p.widthE4;
  s.heightE4 = p.heightE4;
  s.trimWidthE4 = p.TrimWidthE4();
  s.trimHeightE4 = p.TrimHeightE4();
  s.panels = int(plan.panels.size());
  s.bytes = plan.Bytes();
  s.rawBytes = uint64_t(s.fileWidth) * uint64_t(s.fileRows) * plan.samples;
  return s;
}

QStringList SummaryLines(const PlateSummary& s, const ExportSettings& settings, const QString& plateColours) {
  const bool inch = settings.texts.inch;
  const QString unit = inch ? QStringLiteral("in") : QStringLiteral("cm");
  const auto length = [&](int64_t e4) { return QString::number(double(Real(e4) / 10000 * (inch ? 1 : 2.54L)), 'g', 6); };
  const auto dpi = [](int64_t e9) { return FormatGeneral15(Real(e9) / 1000000000); };
  QStringList lines;
  lines << QStringLiteral("file: %1 x %2 pixels").arg(s.fileWidth).arg(s.fileRows);
  lines << QStringLiteral("resolution: %1 x %2 dpi").arg(dpi(s.xResolutionE9), dpi(s.yResolutionE9));
  lines << QStringLiteral("lenses: %1%2, %3 pixels a lens")
               .arg(s.lensCount)
               .arg(settings.lens.lenses == Lenses::kHorizontal ? QStringLiteral(" down") : QString())
               .arg(QString::number(double(s.pixelsPerLens), 'f', 4));
  lines << QStringLiteral("frames: %1").arg(s.frames);
  lines << QStringLiteral("compress: %1").arg(s.compress);
  lines << QStringLiteral("trim: %1 x %2 %3").arg(length(s.trimWidthE4), length(s.trimHeightE4), unit);
  if (s.widthE4 != s.trimWidthE4) lines << QStringLiteral("bled: %1 x %2 %3").arg(length(s.widthE4), length(s.heightE4), unit);
  lines << QStringLiteral("plate: %1").arg(plateColours);
  if (s.panels > 1) lines << QStringLiteral("panels: %1").arg(s.panels);
  lines << (s.bytes ? QStringLiteral("size: %1 bytes").arg(*s.bytes)
                    : QStringLiteral("size: compressed or BigTIFF; %1 bytes of pixels").arg(s.rawBytes));
  return lines;
}

}  // namespace plivora
