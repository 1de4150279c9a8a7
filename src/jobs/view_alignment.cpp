#include "jobs/view_alignment.h"

#include <algorithm>

#include "align/alignment.h"
#include "series/view_series.h"

namespace plivora {

FoundAlignment FindAlignment(const ExportRequest& request, const ProgressFn& progress) {
  const AlignSettings& a = request.settings.align;
  FoundAlignment found{request.transforms, {}};
  found.transforms.resize(size_t(request.views.size()));
  if (a.automatic) {
    const Alignment aligned = AlignSeries(request.views, {a.key, a.keyShift, request.negativeInput}, progress);
    found.transforms = aligned.transforms;
    found.parallax = aligned.parallax;
  } else if (a.keyShift) {
    for (size_t k = 0; k < found.transforms.size(); ++k) found.transforms[k].dx += Real(k) * *a.keyShift;
  }
  return found;
}

DepthBudget BudgetOf(const ExportRequest& request, const std::vector<NeighbourParallax>& parallax, int views) {
  const ExportSettings& s = request.settings;
  QStringList named = request.views;
  for (int k = named.size(); k < views; ++k) named << QString::number(k);
  if (views > 0) named = named.mid(0, views);
  const ExportParameters p = s.Parameters(int(ExpandFrames(named, s.lens.frames).size()));
  // The views' width spans the interlaced image across (bleed included).
  // Lengths are held in inches x 10^4 whatever unit they were typed in.
  const Real widthInches = Real(p.widthE4) / 10000;
  PlateScale scale;
  scale.viewPixelsPerInch = Real(request.firstPhotoWidth) / widthInches;
  scale.dpi = Real(p.dpiE9) / Real(1e9L);
  scale.lpi = Real(p.lpiE9) / Real(1e9L);
  return MeasureDepthBudget(parallax, scale);
}

std::vector<NeighbourParallax> MadeParallax(const ExportRequest& request, const MadeViewPlan& made) {
  std::vector<Real> lenses;  // the depths in the scene, lens widths across the series
  for (const Layer& layer : request.layers) lenses.push_back(layer.depth);
  if (request.layers.empty()) {
    const MadeViewSettings& m = request.settings.made;
    for (const int g : {0, 255}) lenses.push_back((Real(g) - Real(m.keyDepth)) / 255 * m.depth);
  }
  NeighbourParallax pair;
  for (const Real depth : lenses) {
    // A thing in front moves leftwards from a view to the next.
    const Real step = -(depth * made.pixelsPerLens) / Real(made.frames - 1);
    pair.low = std::min(pair.low, step);
    pair.high = std::max(pair.high, step);
  }
  return {pair};
}

}  // namespace plivora
