// Time per output pixel of the row composer on each path this processor
// runs, one thread: the worked example's geometry (12 views of 1000 x 1500,
// 7994 columns, 1200 image rows), composed from 64 row sets taken down the
// views and used in turn, so that the source rows stay in the caches as they
// do in an export. Three kinds of ink: the sample scene, random inks (about
// 1 in 100 an exact decimal tie) and nothing but ties, the worst case. Also
// the time the first use of the grey rule's tie table takes to build it.
//
//   composer_bench [RUNS]   best of RUNS passes (5) per path and ink
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <vector>

#include "common/error.h"
#include "interlace/export_geometry.h"
#include "interlace/pixel_rule.h"
#include "interlace/row_composer.h"
#include "sample/sample_scene.h"

namespace {

using namespace plivora;

constexpr int kViews = 12, kRowSets = 64;
constexpr uint32_t kWidth = 1000, kHeight = 1500;

ExportGeometry WorkedExample() {
  ExportTexts t;
  t.inch = true;
  t.dpi = QStringLiteral("4000");
  t.lpi = QStringLiteral("75.5555555555555");
  t.width = QStringLiteral("2");
  t.height = QStringLiteral("3");
  t.compress = QStringLiteral("10");
  return ComputeGeometry(ParseParameters(t, kViews), kWidth, kHeight);
}

// kRowSets row sets of the sample scene, rows spread down the views.
std::vector<std::vector<uint8_t>> SceneRowSets(const RowComposer& composer) {
  std::vector<std::vector<uint8_t>> sets(kRowSets, std::vector<uint8_t>(composer.RowSetBytes()));
  for (int v = 0; v < kViews; ++v) {
    const std::vector<uint8_t> view = RenderSampleView(kWidth, kHeight, v, kViews);
    for (int s = 0; s < kRowSets; ++s) {
      const size_t row = size_t(s) * kHeight / kRowSets;
      std::copy_n(view.begin() + row * kWidth * 4, kWidth * 4, sets[s].begin() + composer.ViewOffset(v));
    }
  }
  return sets;
}

std::vector<std::vector<uint8_t>> RandomRowSets(const RowComposer& composer, bool tiesOnly) {
  std::mt19937 random(1);
  std::vector<std::vector<uint8_t>> sets(kRowSets, std::vector<uint8_t>(composer.RowSetBytes()));
  for (auto& set : sets)
    for (size_t at = 0; at < set.size(); at += 4)
      for (;;) {
        for (int b = 0; b < 4; ++b) set[at + b] = uint8_t(random());
        if (!tiesOnly || (300u * set[at] + 590u * set[at + 1] + 110u * set[at + 2]) % 1000 == 500) break;
      }
  return sets;
}

double TieShare(const std::vector<std::vector<uint8_t>>& sets) {
  size_t ties = 0, pixels = 0;
  for (const auto& set : sets)
    for (size_t at = 0; at < set.size(); at += 4, ++pixels)
      ties += (300u * set[at] + 590u * set[at + 1] + 110u * set[at + 2]) % 1000 == 500;
  return double(ties) / double(pixels);
}

// Nanoseconds per output pixel of one whole image, best of `runs`.
double Time(const ExportGeometry& g, const ColumnViewMap& map, const std::vector<uint32_t>& widths,
            const std::vector<std::vector<uint8_t>>& sets, ComposerPath path, int runs) {
  double best = 1e30;
  std::vector<uint8_t> out(size_t(g.outputWidth) * 4);
  for (int run = 0; run < runs; ++run) {
    RowComposer composer(g, map, widths, GreyRule(false), path);
    const auto start = std::chrono::steady_clock::now();
    for (int64_t r = 0; r < g.outputRows; ++r) composer.Compose(sets[size_t(r) % sets.size()].data(), out.data(), 0, composer.Width());
    const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    best = std::min(best, ns / double(g.outputRows * g.outputWidth));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const auto tableStart = std::chrono::steady_clock::now();
    DecimalTieWords();
    std::printf("tie table built in %.3f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tableStart).count());
    const ExportGeometry g = WorkedExample();
    const ColumnViewMap map = BuildColumnViewMap(g, kViews);
    const std::vector<uint32_t> widths(kViews, kWidth);
    const RowComposer shape(g, map, widths, GreyRule(false), ComposerPath::kScalar);
    const struct {
      const char* name;
      std::vector<std::vector<uint8_t>> sets;
    } inks[] = {{"sample scene", SceneRowSets(shape)}, {"random inks", RandomRowSets(shape, false)},
                {"ties only", RandomRowSets(shape, true)}};
    std::printf("%lld columns x %lld rows, best of %d, ns per output pixel\n", (long long)g.outputWidth,
                (long long)g.outputRows, runs);
    for (const auto& ink : inks) {
      std::printf("%-13s (%5.1f%% ties):", ink.name, 100 * TieShare(ink.sets));
      for (ComposerPath path : {ComposerPath::kScalar, ComposerPath::kSse2, ComposerPath::kAvx2})
        if (ProcessorRuns(path)) std::printf("  %s %.3f", ComposerPathName(path), Time(g, map, widths, ink.sets, path, runs));
      std::printf("\n");
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "composer_bench: %s\n", e.what());
    return 1;
  }
}
