// The floor of a plate from views that decode or convert their rows: the
// views opened and planned as the export plans them, then, on this one
// thread, every source row the plate uses (vertical lenses) read from every
// view, decoded and converted into the plate's colours over the columns the
// plate uses, and nothing composed or written. Prints the seconds the rows
// took: the thread's CPU time (what they cost one core, however loaded the
// machine), then the wall time.
//
//   decode_floor COLOUR WIDTH_INCHES HEIGHT_INCHES VIEW...
#include <time.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "common/error.h"
#include "common/file_names.h"
#include "common/progress.h"
#include "jobs/export_plan.h"
#include "series/source_image.h"

int main(int argc, char** argv) {
  using namespace plivora;
  if (argc < 5) {
    std::fputs("usage: decode_floor COLOUR WIDTH_INCHES HEIGHT_INCHES VIEW...\n", stderr);
    return 2;
  }
  try {
    ExportRequest request;
    OptionValues values;
    values[QStringLiteral("colour")] = QString::fromLatin1(argv[1]);
    values[QStringLiteral("unit")] = QStringLiteral("inch");
    values[QStringLiteral("width")] = QString::fromLatin1(argv[2]);
    values[QStringLiteral("height")] = QString::fromLatin1(argv[3]);
    request.settings = SettingsFrom(values);
    for (int i = 4; i < argc; ++i) request.views << FileNameFromNative(argv[i]);
    SourceImage first;
    ReadSourceHeader(request.views.front(), first);
    request.firstPhotoWidth = int32_t(first.Width);
    request.firstPhotoHeight = int32_t(first.Height);
    request.outputPath = QStringLiteral("/nonexistent/floor.tif");
    const ProgressFn none;
    ProgressReporter progress(none);
    ExportPlan plan = PlanExport(request, progress);
    const ExportGeometry& g = plan.plate.plate.lens;
    ViewSet& views = *plan.views;
    for (size_t f = 0; f < views.FileCount(); ++f) views.FileReader(f).UseColumns(g.minViewWidth);
    std::vector<std::vector<uint8_t>> rows;
    for (size_t v = 0; v < views.size(); ++v) rows.emplace_back(size_t(views[v].image().Width) * 4);
    const auto cpu = [] {
      timespec t{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
      return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    };
    const double cpuStart = cpu();
    const auto start = std::chrono::steady_clock::now();
    int64_t last = -1;
    for (int64_t r = 0; r < g.outputRows; ++r) {
      const uint32_t q = g.SourceRow(r);
      if (int64_t(q) == last) continue;
      for (size_t v = 0; v < views.size(); ++v) views[v].ReadRow(q, rows[v].data());
      last = q;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.4f %.4f\n", cpu() - cpuStart, took.count());
  } catch (const Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
