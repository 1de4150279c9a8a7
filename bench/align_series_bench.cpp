// The time AlignSeries takes over a series (reading every view, matching
// every neighbour pair, the key plane, the depth measurements), wall
// clock, median of RUNS; then what it found, and the depth budget of a
// 10 x 15 inch print at 4000 dpi under 75.5555555555555 lpi.
//
//   align_series_bench RUNS [VIEW...]
//   align_series_bench --write FOLDER    writes the synthetic series there
//
// Without views it writes a synthetic series of 24 views of 1500 x 2250
// (a textured scene, a layer in front moving 2.5 pixels a view against the
// background, every view up to 4 pixels high or low and turned up to half
// a degree, 1 % noise) and also reports how far from the truth it came.
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "align/alignment.h"
#include "align/depth_budget.h"
#include "align/synthetic_series.h"
#include "common/error.h"
#include "series/source_image.h"

using namespace plivora;

namespace {

test::SyntheticSeries Synthetic() {
  test::SyntheticSeries s;
  s.width = 1500;
  s.height = 2250;
  test::Layer front{450, 700, 600, 900, {}};
  for (int k = 0; k < 24; ++k) {
    s.background.push_back(Real(1.5L * k));
    front.positions.push_back(Real(-1 * k));
    s.camera.push_back({0, Real((k * 37) % 17 - 8) / 2, Real((k * 53) % 11 - 5) / 10});
  }
  s.foreground = front;
  return s;
}

// Where aligned view k puts background point (x, y) of the scene.
void AlignedPoint(const test::SyntheticSeries& s, const Alignment& a, size_t k, Real x, Real y, Real* ax, Real* ay) {
  Real px = 0, py = 0;
  test::CameraPoint(s, int(k), x + s.background[k], y, &px, &py);
  const ViewTransform& t = a.transforms[k];
  const Real r = t.turn * 3.141592653589793238462643383279502884L / 180, c = std::cos(r), sn = std::sin(r);
  const Real cx = Real(s.width - 1) / 2, cy = Real(s.height - 1) / 2;
  *ax = c * (px - cx) + sn * (py - cy) + cx + t.dx;
  *ay = -sn * (px - cx) + c * (py - cy) + cy + t.dy;
}

// The largest distance, over the corners of every view, between where the
// alignment puts a background corner and where it puts the same point of
// the scene in the reference, less the background's drift against the key
// plane (the front layer): 2.5 pixels a view.
double WorstCorner(const test::SyntheticSeries& s, const Alignment& a) {
  double worst = 0;
  for (size_t k = 1; k < a.transforms.size(); ++k)
    for (const Real x : {Real(0), Real(s.width - 1)})
      for (const Real y : {Real(0), Real(s.height - 1)}) {
        Real ax = 0, ay = 0, rx = 0, ry = 0;
        AlignedPoint(s, a, k, x, y, &ax, &ay);
        AlignedPoint(s, a, 0, x + Real(2.5L * Real(k)), y, &rx, &ry);
        worst = std::max(worst, double(std::hypot(ax - rx, ay - ry)));
      }
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 2) {
      std::fprintf(stderr, "usage: align_series_bench RUNS [VIEW...]\n");
      return 2;
    }
    if (std::string(argv[1]) == "--write" && argc == 3) {
      test::WriteSeries(Synthetic(), QString::fromLocal8Bit(argv[2]));
      return 0;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    QStringList paths;
    for (int i = 2; i < argc; ++i) paths << QString::fromLocal8Bit(argv[i]);
    QTemporaryDir folder;
    const test::SyntheticSeries synthetic = Synthetic();
    AlignOptions options;
    if (paths.isEmpty()) {
      std::printf("writing 24 synthetic views of 1500 x 2250 ...\n");
      paths = test::WriteSeries(synthetic, folder.path());
      options.key = KeyRect{550, 800, 400, 700};
    }
    std::vector<double> seconds;
    Alignment a;
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      a = AlignSeries(paths, options);
      seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("aligning %d views: median %.3f s (best %.3f s) of %d runs\n", int(paths.size()), seconds[seconds.size() / 2],
                seconds.front(), runs);
    for (size_t k = 0; k < a.transforms.size(); ++k)
      std::printf("  view %2zu: shift %8.3f %8.3f  turn %7.4f  key at %8.3f\n", k + 1, double(a.transforms[k].dx),
                  double(a.transforms[k].dy), double(a.transforms[k].turn), double(a.keyPositions[k]));
    if (argc == 2)
      std::printf("  the background's corners off the truth by at most %.3f pixels\n", WorstCorner(synthetic, a));
    const uint32_t width = OpenSource(paths[0])->image().Width;
    for (const QString& line : DepthBudgetLines(MeasureDepthBudget(a.parallax, {Real(width) / 10, 4000, 75.5555555555555L})))
      std::printf("  %s\n", line.toUtf8().constData());
    return 0;
  } catch (const Error& e) {
    std::fprintf(stderr, "align_series_bench: %s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
}
