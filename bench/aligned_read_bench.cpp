// What reading the views through aligned readers costs against reading them
// plainly: the row sets of an export (every view's row for each source row
// the plate takes, top to bottom, as the row engine's reader thread asks
// for them), timed on the reading thread's CPU clock, the modes taken in
// turn RUNS times; medians.
//
//   aligned_read_bench RUNS WIDTH_IN HEIGHT_IN VIEW...
//
// 4000 dpi, 75.5555555555555 lpi, compress 10. The modes are those of
// aligned_export_bench.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/error.h"
#include "interlace/export_geometry.h"
#include "series/aligned_source.h"
#include "rail_transforms.h"

namespace {

using namespace plivora;

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Figures {
  double seconds = 0;
  double pixels = 0;  // handed out
};

Figures ReadOnce(const std::string& mode, const ExportParameters& p, const QStringList& paths) {
  ViewSet views;
  for (const QString& path : paths) views.Add(path);
  std::vector<ViewTransform> transforms;
  for (size_t v = 0; v < views.size(); ++v) transforms.push_back(RailTransformOf(mode, int(v)));
  uint32_t width = views[0].image().Width, height = views[0].image().Height;
  CommonArea area;
  if (mode != "plain") {
    area = CommonAreaOf(views, transforms);
    width = area.width;
    height = area.height;
  }
  const ExportGeometry g = ComputeGeometry(p, width, height);
  const double start = ThreadSeconds();
  if (mode != "plain") AlignViews(views, transforms, area);
  std::vector<uint8_t> set(size_t(width) * 4 * views.size());
  Figures f;
  int64_t last = -1;
  for (int64_t r = 0; r < g.outputRows; ++r) {
    const uint32_t row = g.SourceRow(r);
    if (row == last) continue;
    last = row;
    for (size_t v = 0; v < views.size(); ++v) views[v].ReadRow(row, set.data() + v * size_t(width) * 4);
    f.pixels += double(width) * double(views.size());
  }
  f.seconds = ThreadSeconds() - start;
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 5) {
      std::fprintf(stderr, "usage: aligned_read_bench RUNS WIDTH_IN HEIGHT_IN VIEW...\n");
      return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    ExportTexts texts;
    texts.inch = true;
    texts.width = QString::fromLocal8Bit(argv[2]);
    texts.height = QString::fromLocal8Bit(argv[3]);
    QStringList paths;
    for (int i = 4; i < argc; ++i) paths << QString::fromLocal8Bit(argv[i]);
    const ExportParameters p = ParseParameters(texts, int(paths.size()));
    const std::vector<std::string> modes = {"plain", "whole", "shifted", "turned"};
    std::map<std::string, std::vector<Figures>> results;
    ReadOnce("plain", p, paths);  // the page cache warmed
    for (int run = 0; run < runs; ++run)
      for (const std::string& mode : modes) results[mode].push_back(ReadOnce(mode, p, paths));
    std::printf("%d views, reading thread's CPU time, medians of %d alternating runs:\n", int(paths.size()), runs);
    double plain = 0;
    for (const std::string& mode : modes) {
      std::vector<double> s;
      for (const Figures& f : results[mode]) s.push_back(f.seconds);
      std::sort(s.begin(), s.end());
      const double median = s[s.size() / 2], pixels = results[mode][0].pixels;
      if (mode == "plain") plain = median;
      std::printf("  %-13s %7.1f ms  %5.2f ns a pixel handed out  %+7.1f ms against plain\n", mode.c_str(),
                  median * 1e3, median * 1e9 / pixels, (median - plain) * 1e3);
    }
    return 0;
  } catch (const Error& e) {
    std::fprintf(stderr, "aligned_read_bench: %s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
}
