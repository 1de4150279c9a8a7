#include "output/export.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "common/error.h"
#include "common/file_names.h"
#include "common/numbers.h"
#include "output/caption_strip.h"
#include "output/output_file.h"
#include "output/row_composer.h"
#include "output/row_engine.h"
#include "output/tiff_header.h"
#include "series/view_set.h"

namespace plivora {

namespace {

// The header pass: every view is opened and validated, in series order, and
// stays open for the row loop; a file listed again shares the reader of its
// first listing. Narrows *minWidth and *minHeight to the smallest view.
void OpenViews(const ExportRequest& req, int photoCount, ViewSet& views, uint32_t* minWidth, uint32_t* minHeight,
               ProgressReporter& progress) {
  for (int i = 0; i < photoCount; ++i) {
    views.Add(req.views[i]);
    *minWidth = std::min(*minWidth, views[size_t(i)].image().Width);
    *minHeight = std::min(*minHeight, views[size_t(i)].image().Height);
    progress.Set(Real(i + 1) * 20 / photoCount);
  }
}

void Export(const ExportRequest& req, ProgressReporter& progress) {
  const ExportParameters p = ParseParameters(req.texts, int(req.views.size()));
  uint32_t minWidth = req.firstPhotoWidth > 0 ? uint32_t(req.firstPhotoWidth) : UINT32_MAX;
  uint32_t minHeight = req.firstPhotoHeight > 0 ? uint32_t(req.firstPhotoHeight) : UINT32_MAX;
  ViewSet views;
  OpenViews(req, p.photoCount, views, &minWidth, &minHeight, progress);

  const ExportGeometry g = ComputeGeometry(p, minWidth, minHeight);
  if (views.Holds(req.outputPath))
    Fail(QStringLiteral("The output \"%1\" is one of the views; choose another file name").arg(req.outputPath));
  std::vector<uint32_t> viewWidths;
  for (size_t v = 0; v < views.size(); ++v) viewWidths.push_back(views[v].image().Width);
  RowComposer::RowSetBytesFor(viewWidths);

  const int32_t width = int32_t(g.outputWidth);
  // The caption strip is drawn beside the image rows (its large glyphs
  // cost about as much as a small export's rows); declared before the
  // engine, so it outlives the drawing on every path.
  std::vector<uint8_t> strip;
  const CaptionStripInput caption{width, int32_t(g.stripRows), p.compress, p.dpiE9,
                                  AbsoluteFileName(req.outputPath), req.now};

  RowEngine engine(ComposeThreads(req.threads));
  engine.StartBeside([&] { strip = RenderCaptionStrip(caption); });
  OutputFile out(req.outputPath);
  const ColumnViewMap map = BuildColumnViewMap(g, p.photoCount);
  WriteTiffHeader(out, 4, width, int32_t(g.fileRows()), p.dpiE9, g.yResolutionE9, TiffDateTime(req.now, req.locale));
  progress.Set(25);

  RowComposer composer(g, map, viewWidths, req.negativeInput);
  const auto read = [&](uint32_t row, uint8_t* set) {
    for (size_t v = 0; v < views.size(); ++v) views[v].ReadRow(row, set + composer.ViewOffset(v));
  };
  engine.WriteRows(g, read, composer, out, {0, size_t(width)}, [&](int64_t done) {
    progress.Set(Real(done - 1) * 73 / Real(g.outputRows) + 25);
  });

  engine.WaitBeside();
  WriteLevelRows(strip, out);
  out.Commit();
  progress.Set(100);
}

}  // namespace

void ExportInterlaced(const ExportRequest& request, const ProgressFn& progress) {
  ProgressReporter reporter(progress);
  try {
    Export(request, reporter);
  } catch (const std::bad_alloc&) {
    Fail(QStringLiteral("Not enough memory to export \"%1\"").arg(request.outputPath));
  }
}

}  // namespace plivora
