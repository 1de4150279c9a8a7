#include "align/alignment.h"

#include <cmath>
#include <optional>

#include "align/grey_copy.h"
#include "align/search_calls.h"
#include "common/error.h"

namespace plivora {

namespace {

constexpr uint32_t kCopySide = 1200;  // the grey copies' longer side, at most
constexpr Real kPi = 3.141592653589793238462643383279502884L;

// How view k's content lies against the reference's: it shows reference
// point p at turn (p - centre) + centre + t (view pixels).
struct Placement {
  Real radians = 0;
  Real tx = 0, ty = 0;
};

// The placement of the next view, from this one and the pair's motion
// (t in view pixels): turns add; the translation turns with the pair.
Placement Chain(const Placement& before, Real radians, Real tx, Real ty) {
  const Real c = std::cos(radians), s = std::sin(radians);
  return {before.radians + radians, c * before.tx + s * before.ty + tx, -s * before.tx + c * before.ty + ty};
}

// The transform that takes view k's content back onto the reference, its
// horizontal translation `x` (the key plane's) in place of the measured one;
// about view k's own centre.
ViewTransform Undo(const Placement& p, Real x, Real cx0, Real cy0, Real cx, Real cy) {
  const Real c = std::cos(-p.radians), s = std::sin(-p.radians);
  // P = turn(-a) (q - c0) + c0 - turn(-a) t, written about the view's centre.
  const Real dx = -(c * x + s * p.ty), dy = -(-s * x + c * p.ty);
  const Real ox = cx - cx0, oy = cy - cy0;
  return {dx + c * ox + s * oy - ox, dy - s * ox + c * oy - oy, -p.radians * 180 / kPi};
}

struct Copy {
  GreyCopy grey;
  Real cx = 0, cy = 0;  // the view's centre, view pixels
};

Copy ReadCopy(const QString& path, int factor, bool negativeInput) {
  const auto reader = OpenSource(path);
  Copy copy{ReadGreyCopy(*reader, factor, negativeInput), 0, 0};
  copy.cx = Real(copy.grey.width - 1) / 2;
  copy.cy = Real(copy.grey.height - 1) / 2;
  return copy;
}

// The key rectangle where placement `p` puts the reference's key content,
// in copy pixels (the reference's centre at cx0, cy0).
search::Rect KeyInView(const KeyRect& key, const Placement& p, Real cx0, Real cy0, int factor) {
  const Real halfW = Real(key.width - 1) / 2, halfH = Real(key.height - 1) / 2;
  const Real kx = Real(key.x) + halfW - cx0, ky = Real(key.y) + halfH - cy0;
  const Real c = std::cos(p.radians), s = std::sin(p.radians);
  const Real x = c * kx + s * ky + cx0 + p.tx - halfW, y = -s * kx + c * ky + cy0 + p.ty - halfH;
  return {int(std::lround(CopyOfView(double(x), factor))), int(std::lround(CopyOfView(double(y), factor))),
          int(key.width / factor), int(key.height / factor)};
}

// The key plane's line (fitted, or the given key shift's), the parallax
// taken from each pair's own key shift to the line's step, and the
// transforms that undo each view's placement with the line's shifts.
void HoldKeyPlane(const std::vector<Placement>& placed, const std::vector<Real>& pairKey,
                  const std::vector<std::pair<Real, Real>>& centres, const std::optional<Real>& keyShift,
                  Alignment& result) {
  result.keyLine = keyShift ? KeyLine{0, -*keyShift} : FitKeyLine(result.keyPositions);
  for (size_t i = 0; i < result.parallax.size(); ++i) {
    const Real off = pairKey[i] - result.keyLine.b;
    result.parallax[i].low += off;
    result.parallax[i].high += off;
  }
  const auto& [cx0, cy0] = centres[0];
  for (size_t k = 0; k < placed.size(); ++k)
    result.transforms.push_back(Undo(placed[k], result.keyLine.At(int(k)), cx0, cy0, centres[k].first, centres[k].second));
}

}  // namespace

Alignment AlignSeries(const QStringList& paths, const AlignOptions& options, const ProgressFn& progress) {
  if (paths.size() < 2) Fail(QStringLiteral("Aligning takes at least two views"));
  ProgressReporter report(progress);
  Alignment result;
  const SourceImage first = OpenSource(paths[0])->image();
  const int factor = ReductionFor(first.Width, first.Height, kCopySide);
  result.key = options.key ? *options.key : DefaultKeyRect(first.Width, first.Height);
  CheckKeyRect(result.key, first.Width, first.Height);
  Copy before = ReadCopy(paths[0], factor, options.negativeInput);
  const Real cx0 = before.cx, cy0 = before.cy;
  // Every pair turns about the reference's centre, so that turns add.
  const search::Point centre{CopyOfView(double(cx0), factor), CopyOfView(double(cy0), factor)};
  std::vector<Placement> placed(1);
  std::vector<std::pair<Real, Real>> centres{{before.cx, before.cy}};  // each view's, view pixels
  std::vector<Real> pairKey;  // the key's shift between each pair
  result.keyPositions.push_back(0);
  for (int k = 1; k < int(paths.size()); ++k) {
    report.Set(Real(k) * 100 / Real(paths.size()));
    Copy next = ReadCopy(paths[k], factor, options.negativeInput);
    const search::Rect key = KeyInView(result.key, placed.back(), cx0, cy0, factor);
    const search::Motion motion =
        MeasurePair(before.grey, next.grey, centre, key, QStringLiteral("views %1 and %2").arg(k).arg(k + 1));
    const search::Spread spread = DisparitySpread(before.grey, next.grey, centre, motion);
    if (motion.byFeatures) result.byFeatures.push_back(k - 1);
    const Real tx = Real(motion.keyDx) * factor, ty = Real(motion.dy) * factor;
    placed.push_back(Chain(placed.back(), Real(motion.radians), tx, ty));
    result.keyPositions.push_back(placed.back().tx);
    pairKey.push_back(tx);
    result.parallax.push_back({k - 1, Real(spread.low) * factor, Real(spread.high) * factor});
    before = std::move(next);
    centres.emplace_back(before.cx, before.cy);
  }
  HoldKeyPlane(placed, pairKey, centres, options.keyShift, result);
  report.Set(100);
  return result;
}

}  // namespace plivora
