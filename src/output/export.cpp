#include "output/export.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "common/error.h"
#include "common/numbers.h"
#include "output/caption_strip.h"
#include "output/output_file.h"
#include "output/row_composer.h"
#include "output/tiff_header.h"
#include "series/source_image.h"

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

bool SameFile(const QString& a, const QString& b) {
  struct stat sa {}, sb {};
  return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void Export(const ExportRequest& req, Progress& progress) {
  const ExportParameters p = ParseParameters(req.texts, int(req.views.size()));

  // Header pass: every view is opened and validated, and stays open for the
  // row loop.
  uint32_t minWidth = req.firstPhotoWidth > 0 ? uint32_t(req.firstPhotoWidth) : UINT32_MAX;
  uint32_t minHeight = req.firstPhotoHeight > 0 ? uint32_t(req.firstPhotoHeight) : UINT32_MAX;
  std::vector<std::unique_ptr<SourceReader>> views;
  views.reserve(size_t(p.photoCount));
  for (int i = 0; i < p.photoCount; ++i) {
    views.push_back(OpenSource(req.views[i]));
    minWidth = std::min(minWidth, views.back()->image().Width);
    minHeight = std::min(minHeight, views.back()->image().Height);
    progress.Set(Real(i + 1) * 20 / p.photoCount);
  }

  const ExportGeometry g = ComputeGeometry(p, minWidth, minHeight);
  for (const QString& view : req.views)
    if (SameFile(view, req.outputPath))
      Fail(QStringLiteral("The output \"%1\" is one of the views; choose another file name").arg(req.outputPath));

  const int32_t width = int32_t(g.outputWidth);
  const std::vector<uint8_t> strip = RenderCaptionStrip(
      {width, int32_t(g.stripRows), p.compress, p.dpiE9, QFileInfo(req.outputPath).absoluteFilePath(), req.now});

  OutputFile out(req.outputPath);
  const ColumnViewMap map = BuildColumnViewMap(g, p.photoCount);
  WriteTiffHeader(out, 4, width, int32_t(g.fileRows()), p.dpiE9, g.yResolutionE9, TiffDateTime(req.now, req.locale));
  progress.Set(25);

  std::vector<std::vector<uint8_t>> rowBuffers(views.size());
  std::vector<const uint8_t*> viewRows(views.size());
  for (size_t v = 0; v < views.size(); ++v) {
    rowBuffers[v].resize(size_t(views[v]->image().Width) * 4);
    viewRows[v] = rowBuffers[v].data();
  }
  std::vector<uint8_t> outRow(size_t(width) * 4);
  RowComposer composer(g, map, req.negativeInput);

  int64_t loadedRow = -1;
  for (int64_t r = 0; r < g.outputRows; ++r) {
    const uint32_t q = g.SourceRow(r);
    if (q != loadedRow) {  // rows repeat only when the output is taller than the views
      for (size_t v = 0; v < views.size(); ++v) views[v]->ReadRow(q, rowBuffers[v].data());
      loadedRow = q;
    }
    composer.Compose(viewRows, outRow.data());
    out.Write(outRow.data(), outRow.size());
    progress.Set(Real(r) * 73 / Real(g.outputRows) + 25);
  }
  out.Write(strip.data(), strip.size());
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
