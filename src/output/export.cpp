#include "output/export.h"

#include <QFileInfo>
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
#include "output/tiff_header.h"
#include "series/view_set.h"

namespace plivora {

namespace {

// Reports a percentage only when it changes.
class Progress {
 public:
  explicit Progress(const ProgressFn& fn) : fn_(fn) {}
  void Set(int percent) {
    if (percent == last_ || !fn_) return;
    last_ = percent;
    fn_(percent);
  }
  void Set(Real percent) { Set(int(Round(percent))); }

 private:
  const ProgressFn& fn_;
  int last_ = -1;
};

// The header pass: every view is opened and validated, in series order, and
// stays open for the row loop; a file listed again shares the reader of its
// first listing. Narrows *minWidth and *minHeight to the smallest view.
void OpenViews(const ExportRequest& req, int photoCount, ViewSet& views, uint32_t* minWidth, uint32_t* minHeight,
               Progress& progress) {
  for (int i = 0; i < photoCount; ++i) {
    views.Add(req.views[i]);
    *minWidth = std::min(*minWidth, views[size_t(i)].image().Width);
    *minHeight = std::min(*minHeight, views[size_t(i)].image().Height);
    progress.Set(Real(i + 1) * 20 / photoCount);
  }
}

// Writes the image rows, top to bottom, in batches: the source rows of a
// batch are read, its rows composed, and the batch goes to the file in one
// write. Memory is bounded by the batch (about 1 MB), never by the output's
// height.
void WriteImageRows(const ExportGeometry& g, const ViewSet& views, RowComposer& composer, OutputFile& out,
                    Progress& progress) {
  const size_t setBytes = composer.RowSetBytes(), rowBytes = composer.Width() * 4;
  const size_t batch = std::clamp<size_t>((size_t(1) << 20) / (setBytes + rowBytes), 1, 64);
  std::vector<uint8_t> sets(batch * setBytes), rows(batch * rowBytes);

  for (int64_t first = 0; first < g.outputRows; first += int64_t(batch)) {
    const size_t count = size_t(std::min<int64_t>(int64_t(batch), g.outputRows - first));
    size_t used = 0;  // row sets filled in this batch
    uint32_t loaded = 0;
    for (size_t j = 0; j < count; ++j) {
      const uint32_t q = g.SourceRow(first + int64_t(j));
      if (used == 0 || q != loaded) {  // rows repeat only when the output is taller than the views
        uint8_t* set = sets.data() + used++ * setBytes;
        for (size_t v = 0; v < views.size(); ++v) views[v].ReadRow(q, set + composer.ViewOffset(v));
        loaded = q;
      }
      composer.Compose(sets.data() + (used - 1) * setBytes, rows.data() + j * rowBytes, 0, composer.Width());
    }
    out.Write(rows.data(), count * rowBytes);
    progress.Set(Real(first + int64_t(count) - 1) * 73 / Real(g.outputRows) + 25);
  }
}

// Writes the caption strip (one byte a pixel, as RenderCaptionStrip gives it)
// after the image rows, widened to the file's four bytes a pixel a piece at a
// time, so that the strip is never held at four bytes a pixel.
void WriteCaptionStrip(const std::vector<uint8_t>& strip, OutputFile& out) {
  const size_t piece = size_t(1) << 16;  // pixels
  std::vector<uint8_t> pixels(std::min(strip.size(), piece) * 4);
  for (size_t first = 0; first < strip.size(); first += piece) {
    const size_t count = std::min(piece, strip.size() - first);
    ExpandCaptionPixels(strip.data() + first, count, pixels.data());
    out.Write(pixels.data(), count * 4);
  }
}

void Export(const ExportRequest& req, Progress& progress) {
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
  const std::vector<uint8_t> strip = RenderCaptionStrip(
      {width, int32_t(g.stripRows), p.compress, p.dpiE9, AbsoluteFileName(req.outputPath), req.now});

  OutputFile out(req.outputPath);
  const ColumnViewMap map = BuildColumnViewMap(g, p.photoCount);
  WriteTiffHeader(out, 4, width, int32_t(g.fileRows()), p.dpiE9, g.yResolutionE9, TiffDateTime(req.now, req.locale));
  progress.Set(25);

  RowComposer composer(g, map, viewWidths, req.negativeInput);
  WriteImageRows(g, views, composer, out, progress);

  WriteCaptionStrip(strip, out);
  out.Commit();
  progress.Set(100);
}

}  // namespace

void ExportInterlaced(const ExportRequest& request, const ProgressFn& progress) {
  Progress reporter(progress);
  try {
    Export(request, reporter);
  } catch (const std::bad_alloc&) {
    Fail(QStringLiteral("Not enough memory to export \"%1\"").arg(request.outputPath));
  }
}

}  // namespace plivora
