#include "cli/view_alignment.h"

#include "align/alignment.h"
#include "common/length_text.h"
#include "series/view_series.h"

namespace plivora {

FoundAlignment FindAlignment(const ExportRequest& request) {
  const AlignSettings& a = request.settings.align;
  FoundAlignment found{request.transforms, {}};
  found.transforms.resize(size_t(request.views.size()));
  if (a.automatic) {
    const Alignment aligned = AlignSeries(request.views, {a.key, a.keyShift, request.negativeInput});
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
  const Real widthInches = Real(p.widthE4) / 10000 * InchesPer(s.texts.inch ? LengthUnit::kInch : LengthUnit::kCm);
  PlateScale scale;
  scale.viewPixelsPerInch = Real(request.firstPhotoWidth) / widthInches;
  scale.dpi = Real(p.dpiE9) / Real(1e9L);
  scale.lpi = Real(p.lpiE9) / Real(1e9L);
  return MeasureDepthBudget(parallax, scale);
}

}  // namespace plivora
