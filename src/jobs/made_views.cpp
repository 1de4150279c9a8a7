#include "jobs/made_views.h"

#include <QDir>
#include <algorithm>
#include <new>

#include "common/error.h"
#include "common/file_names.h"
#include "common/output_file.h"
#include "plate/plate_writer.h"
#include "plate/strip_encoders.h"
#include "plate/tiff_header.h"
#include "series/depth_views.h"
#include "series/source_file.h"
#include "series/view_error.h"
#include "series/view_series.h"

namespace plivora {

bool MakesViews(const ExportRequest& request) {
  return !request.layers.empty() || !request.settings.made.depthMap.isEmpty();
}

namespace {

// The lenses across the image: its width in inches, with the bleed, times
// the LPI.
Real LensesAcross(const ExportSettings& s) {
  const Real inches = Real(s.widthE4 + 2 * s.bleedE4) / 10000;
  return inches * (Real(s.lpiE9) / 1000000000);
}

void CheckInputs(const ExportRequest& req) {
  const MadeViewSettings& m = req.settings.made;
  if (!req.layers.empty() && !req.views.isEmpty())
    Fail(QStringLiteral("Layers and view files were both given; the views are made from the layers, so give one or the other"));
  if (!req.layers.empty() && !m.depthMap.isEmpty())
    Fail(QStringLiteral("Layers and a depth map were both given; give the layers, or one picture with its depth map"));
  if (!m.depthMap.isEmpty() && req.views.size() != 1)
    Fail(QStringLiteral("The depth map \"%1\" goes with one picture, and %2 were given").arg(m.depthMap).arg(req.views.size()));
}

}  // namespace

MadeViewPlan PlanMadeViews(const ExportRequest& req) {
  CheckInputs(req);
  const ExportSettings& s = req.settings;
  MadeViewPlan m;
  m.frames = s.made.FramesFor(s.autoDpi, s.dpiE9, s.lpiE9);
  for (const Layer& layer : req.layers) m.files << layer.path;
  if (req.layers.empty()) m.files = req.views;
  SourceImage bottom;
  ReadSourceHeader(m.files.first(), bottom);
  m.height = bottom.Height;
  const Real lenses = LensesAcross(s);
  if (req.layers.empty()) {
    m.columns = {0, bottom.Width};
    m.pixelsPerLens = Real(bottom.Width) / lenses;
    return m;
  }
  // The bottom layer's movement is cut off at the lens width of its whole
  // width, which is more than that of the narrower views: the cut covers
  // the movement at theirs.
  const Real depth = req.layers.front().depth;
  m.columns = CommonColumns(bottom.Path, bottom.Width, depth * (Real(bottom.Width) / lenses), m.frames);
  m.pixelsPerLens = Real(m.columns.width) / lenses;
  return m;
}

QStringList MadeViewNames(int frames) {
  QStringList names;
  for (int k = 1; k <= frames; ++k) names << QStringLiteral("view %1").arg(k, frames >= 100 ? 3 : 2, 10, QChar('0'));
  return names;
}

QString MadeViewFile(const QString& folder, int k, int frames) {
  return folder + QStringLiteral("/view-%1.tif").arg(k, frames >= 100 ? 3 : 2, 10, QChar('0'));
}

namespace {

std::vector<std::unique_ptr<SourceReader>> LayeredReaders(const ExportRequest& req, const MadeViewPlan& made,
                                                          ViewSet& views, ColourModel working) {
  // Layers of one file share its reader through one band of rows.
  std::vector<std::pair<SourceReader*, std::shared_ptr<SharedRows>>> bands;
  std::vector<StackLayer> layers;
  for (size_t i = 0; i < req.layers.size(); ++i) {
    SourceReader* file = &views[i];
    auto band = std::find_if(bands.begin(), bands.end(), [&](const auto& b) { return b.first == file; });
    if (band == bands.end()) band = bands.insert(bands.end(), {file, std::make_shared<SharedRows>(*file)});
    const Layer& l = req.layers[i];
    layers.push_back({band->second, l.depth * made.pixelsPerLens, l.x, l.y});
  }
  return OpenLayeredViews(layers, made.frames, made.columns, working);
}

std::vector<std::unique_ptr<SourceReader>> DepthReaders(const ExportRequest& req, const MadeViewPlan& made, ViewSet& views) {
  const MadeViewSettings& m = req.settings.made;
  std::unique_ptr<SourceReader> map;
  try {
    map = OpenSource(m.depthMap);
  } catch (const std::bad_alloc&) {
    FailView(m.depthMap, QStringLiteral("there is not enough memory to open it"));
  }
  const DepthScale scale{m.depth, m.keyDepth, made.pixelsPerLens, made.frames};
  return OpenDepthViews(views[0], std::move(map), scale);
}

}  // namespace

ColourPlan OpenMadeViews(const ExportRequest& req, const MadeViewPlan& made, const FrameSequence& sequence,
                         ViewSet& views, ProgressReporter& progress) {
  for (qsizetype i = 0; i < made.files.size(); ++i) {
    try {
      views.Add(made.files[i]);
    } catch (const std::bad_alloc&) {
      FailView(made.files[i], QStringLiteral("there is not enough memory to open it"));
    }
    progress.Set(Real(i + 1) * 20 / Real(made.files.size()));
  }
  views.Start();
  ColourPlan colours = PlanColours(views, req.settings.colour, false);
  const ColourModel working = WorkingModel(req.settings.colour.plate);
  std::vector<std::unique_ptr<SourceReader>> readers =
      req.layers.empty() ? DepthReaders(req, made, views) : LayeredReaders(req, made, views, working);
  std::vector<size_t> of;
  for (const int i : FrameIndices(made.frames, sequence)) of.push_back(size_t(i));
  views.MakeListings(std::move(readers), of);
  return colours;
}

void SaveMadeViews(const ExportRequest& req, ProgressReporter& progress) {
  if (!MakesViews(req))
    Fail(QStringLiteral("--save-views writes views made from layers or a depth map, and none are made here"));
  const QString folder = AbsoluteFileName(req.settings.made.saveViews);
  if (!QDir().mkpath(folder)) Fail(QStringLiteral("Cannot make the folder \"%1\" for the made views").arg(folder));
  const MadeViewPlan made = PlanMadeViews(req);
  ViewSet views;
  const ProgressFn silent;
  ProgressReporter opening(silent);
  const ColourPlan colours = OpenMadeViews(req, made, FrameSequence{}, views, opening);
  colours.WaitForTransforms();  // LittleCMS's refusal before any view's file is made
  PlateLayout layout;
  layout.width = made.columns.width;
  layout.rows = made.height;
  // The views span the image's width: their resolution is what gives it.
  layout.xResolutionE9 = layout.yResolutionE9 =
      Round(Real(made.columns.width) / (Real(req.settings.widthE4 + 2 * req.settings.bleedE4) / 10000) * 1000000000);
  layout.dateTime = TiffDateTime(req.now, req.locale);
  layout.samples = req.settings.colour.plate == PlateColour::kRgb ? 3 : 4;
  layout.iccProfile = colours.plateProfile;
  RunInputs inputs = req.inputs;
  for (const QString& file : made.files) inputs.Add(file, QStringLiteral("one of the layers or the picture"));
  if (!req.settings.made.depthMap.isEmpty()) inputs.Add(req.settings.made.depthMap, QStringLiteral("the depth map"));
  StripEncoders encoders(0);
  std::vector<std::unique_ptr<PlateWriter>> writers;
  std::vector<OutputFile*> files;
  for (int k = 1; k <= made.frames; ++k) {
    const QString path = MadeViewFile(folder, k, made.frames);
    inputs.CheckNotOutput(path);
    CheckFitsPlainTiff(QStringLiteral("A made view"), layout.width, layout.rows, QStringLiteral("make the views smaller"),
                       layout.samples);
    writers.push_back(CreatePlateWriter(path, layout, OutputForm{}, encoders, QString()));
    files.push_back(&writers.back()->file());
  }
  std::vector<uint8_t> row(size_t(layout.width) * 4);
  for (uint32_t y = 0; y < made.height; ++y) {
    for (size_t k = 0; k < writers.size(); ++k) {
      views[k].ReadRow(y, row.data());
      writers[k]->Append(row.data(), 1, row.size());
    }
    progress.Set(Real(y + 1) * 100 / Real(made.height));
  }
  for (auto& writer : writers) writer->Finish();
  OutputFile::CommitTogether(files);
}

}  // namespace plivora
