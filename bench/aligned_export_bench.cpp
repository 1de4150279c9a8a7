// The export's loop for vertical lenses (open the views, compose the rows
// on the row engine, write the plain plate), with the views read plainly or
// through aligned readers, for bench/align_bench.py to time against each
// other. The plate has no caption strip; everything else is the export's.
//
//   aligned_export_bench MODE WIDTH_IN HEIGHT_IN VIEW... -o OUT
//
// MODE: plain; whole (whole-pixel shifts); shifted (fractional shifts, no
// turn); turned (fractional shifts and turns up to 0.6 degrees). 4000 dpi,
// 75.5555555555555 lpi, compress 10.
#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/output_file.h"
#include "common/task_pool.h"
#include "interlace/export_geometry.h"
#include "interlace/row_composer.h"
#include "interlace/row_engine.h"
#include "plate/plate_writer.h"
#include "plate/strip_encoders.h"
#include "plate/tiff_header.h"
#include "series/aligned_source.h"
#include "rail_transforms.h"

namespace {

using namespace plivora;

void Run(const std::string& mode, const QString& width, const QString& height, const QStringList& paths,
         const QString& out) {
  ExportTexts texts;
  texts.inch = true;
  texts.width = width;
  texts.height = height;
  const ExportParameters p = ParseParameters(texts, int(paths.size()));
  ViewSet views;
  for (const QString& path : paths) views.Add(path);
  uint32_t minWidth = UINT32_MAX, minHeight = UINT32_MAX;
  std::vector<ViewTransform> transforms;
  for (size_t v = 0; v < views.size(); ++v) transforms.push_back(RailTransformOf(mode, int(v)));
  CommonArea area;
  if (mode != "plain") {
    area = CommonAreaOf(views, transforms);
    minWidth = area.width;
    minHeight = area.height;
  } else {
    for (size_t v = 0; v < views.size(); ++v) {
      minWidth = std::min(minWidth, views[v].image().Width);
      minHeight = std::min(minHeight, views[v].image().Height);
    }
  }
  const PlateGeometry plate = ComputePlate(p, Lenses::kVertical, minWidth, minHeight);
  const ColumnViewMap map = BuildColumnViewMap(plate.lens, p.photoCount);
  if (mode != "plain") AlignViews(views, transforms, area);
  std::vector<uint32_t> widths;
  for (size_t v = 0; v < views.size(); ++v) widths.push_back(views[v].image().Width);
  StripEncoders encoders(0);
  PlateLayout layout;
  layout.width = plate.width;
  layout.rows = plate.imageRows;
  layout.xResolutionE9 = plate.xResolutionE9;
  layout.yResolutionE9 = plate.yResolutionE9;
  layout.dateTime = TiffDateTime(QDateTime::currentDateTime(), QLocale::c());
  auto writer = CreatePlateWriter(out, layout, OutputForm{}, encoders, QString());
  RowComposer composer(plate.lens, map, widths, GreyRule(false));
  RowEngine engine(ComposeThreads(0));
  const RowSetReader read = [&](uint32_t row, uint8_t* set) {
    for (size_t v = 0; v < views.size(); ++v) views[v].ReadRow(row, set + composer.ViewOffset(v));
  };
  engine.WriteRows(read, composer, [&](const uint8_t* rows, size_t count, size_t stride) { writer->Append(rows, count, stride); },
                   {0, size_t(plate.width)}, nullptr);
  writer->Finish();
  OutputFile::CommitTogether({&writer->file()});
}

}  // namespace

int main(int argc, char** argv) {
  try {
    QStringList paths;
    QString out;
    for (int i = 4; i < argc; ++i) {
      if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
        out = QString::fromLocal8Bit(argv[++i]);
      else
        paths << QString::fromLocal8Bit(argv[i]);
    }
    if (argc < 5 || out.isEmpty() || paths.isEmpty()) {
      std::fprintf(stderr, "usage: aligned_export_bench MODE WIDTH_IN HEIGHT_IN VIEW... -o OUT\n");
      return 2;
    }
    Run(argv[1], QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), paths, out);
    return 0;
  } catch (const Error& e) {
    std::fprintf(stderr, "aligned_export_bench: %s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
}
