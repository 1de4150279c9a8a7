#include "series/view_transform.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/error.h"

namespace plivora {

namespace {

constexpr Real kPi = 3.141592653589793238462643383279502884L;

int64_t CeilOf(Real value) { return -FloorOf(-value); }

// The number text of a transform's figure in messages.
QString Figure(Real value) { return FormatGeneral15(value); }

}  // namespace

bool ViewTransform::WholePixels() const {
  return turn == 0 && std::isfinite(dx) && std::isfinite(dy) && std::fabs(dx) <= kMaxShift &&
         std::fabs(dy) <= kMaxShift && Real(Trunc(dx)) == dx && Real(Trunc(dy)) == dy;
}

void CheckViewTransform(const QString& path, const ViewTransform& t) {
  if (!std::isfinite(t.dx) || !std::isfinite(t.dy) || std::fabs(t.dx) > kMaxShift || std::fabs(t.dy) > kMaxShift)
    Fail(QStringLiteral("View \"%1\": a shift of %2, %3 pixels is out of range (at most %4 pixels either way)")
             .arg(path, Figure(t.dx), Figure(t.dy), Figure(kMaxShift)));
  if (!std::isfinite(t.turn) || std::fabs(t.turn) > kMaxTurnDegrees)
    Fail(QStringLiteral("View \"%1\": a turn of %2 degrees is out of range (at most %3 degrees either way)")
             .arg(path, Figure(t.turn), Figure(kMaxTurnDegrees)));
}

int64_t FloorOf(Real value) {
  const int64_t t = Trunc(value);
  return Real(t) > value ? t - 1 : t;
}

ViewPlacement::ViewPlacement(uint32_t width, uint32_t height, const ViewTransform& t)
    : width_(width), height_(height), t_(t) {
  // A turn of 0 keeps cos 1 and sin 0 exactly, so that shifted views land
  // on whole pixels exactly.
  if (t.turn != 0) {
    const Real radians = t.turn * kPi / 180;
    cos_ = std::cos(radians);
    sin_ = std::sin(radians);
  }
  cx_ = Real(width - 1) / 2;  // width and height are at least 1
  cy_ = Real(height - 1) / 2;
}

Real ViewPlacement::SourceX(Real x, Real y) const {
  const Real qx = x - cx_ - t_.dx, qy = y - cy_ - t_.dy;
  return cos_ * qx - sin_ * qy + cx_;
}

Real ViewPlacement::SourceY(Real x, Real y) const {
  const Real qx = x - cx_ - t_.dx, qy = y - cy_ - t_.dy;
  return sin_ * qx + cos_ * qy + cy_;
}

void ViewPlacement::Slice(Real y, Real* lo, Real* hi) const {
  // The source point of (x, y) lies inside 0 .. W - 1 across and 0 .. H - 1
  // down: two ranges of qx = x - cx - dx, the cosine being above 0.
  const Real qy = y - cy_ - t_.dy;
  const Real right = Real(width_ - 1) - cx_, bottom = Real(height_ - 1) - cy_;
  Real a = (sin_ * qy - cx_) / cos_, b = (right + sin_ * qy) / cos_;
  if (sin_ != 0) {
    Real c = (-cy_ - cos_ * qy) / sin_, d = (bottom - cos_ * qy) / sin_;
    if (sin_ < 0) std::swap(c, d);
    a = std::max(a, c);
    b = std::min(b, d);
  } else if (qy < -cy_ || qy > bottom) {
    a = 1;
    b = 0;
  }
  *lo = a + cx_ + t_.dx;
  *hi = b + cx_ + t_.dx;
}

void ViewPlacement::Extent(Real* top, Real* bottom) const {
  *top = 0;
  *bottom = 0;
  bool first = true;
  for (const Real px : {Real(0), Real(width_ - 1)})
    for (const Real py : {Real(0), Real(height_ - 1)}) {
      const Real y = -sin_ * (px - cx_) + cos_ * (py - cy_) + cy_ + t_.dy;
      *top = first ? y : std::min(*top, y);
      *bottom = first ? y : std::max(*bottom, y);
      first = false;
    }
}

namespace {

[[noreturn]] void NoCommonArea() {
  Fail(QStringLiteral("The aligned views have no area in common: their shifts or turns are larger than the views"));
}

// The columns every view covers at grid height y: [*lo, *hi].
void CommonSlice(const std::vector<ViewPlacement>& placed, Real y, Real* lo, Real* hi) {
  for (size_t k = 0; k < placed.size(); ++k) {
    Real a = 0, b = 0;
    placed[k].Slice(y, &a, &b);
    *lo = k == 0 ? a : std::max(*lo, a);
    *hi = k == 0 ? b : std::min(*hi, b);
  }
}

// The common slices at heights from, from + step, ... (step may be below
// 0), `count` pixels on at most.
struct Slices {
  std::vector<int64_t> ys;
  std::vector<Real> lo, hi;
};

Slices SlicesAt(const std::vector<ViewPlacement>& placed, int64_t from, int64_t count, int64_t step) {
  Slices s;
  for (int64_t i = 0; i <= count; i += std::abs(step)) {
    const int64_t y = from + (step > 0 ? i : -i);
    Real a = 0, b = 0;
    CommonSlice(placed, Real(y), &a, &b);
    s.ys.push_back(y);
    s.lo.push_back(a);
    s.hi.push_back(b);
  }
  return s;
}

}  // namespace

CommonArea CommonAreaOf(const std::vector<PlacedView>& views) {
  if (views.empty()) NoCommonArea();
  std::vector<ViewPlacement> placed;
  Real top = 0, bottom = 0;
  int64_t reach = 1;  // how far in the corners of a turned view may push the top and bottom
  for (const PlacedView& v : views) {
    if (v.width == 0 || v.height == 0) NoCommonArea();
    placed.emplace_back(v.width, v.height, v.transform);
    Real t = 0, b = 0;
    placed.back().Extent(&t, &b);
    top = placed.size() == 1 ? t : std::max(top, t);
    bottom = placed.size() == 1 ? b : std::min(bottom, b);
    const Real corners = Real(v.width) * std::fabs(placed.back().sine()) + Real(v.height) * (1 - placed.back().cosine());
    reach = std::max(reach, CeilOf(corners) + 1);
  }
  const int64_t y0 = CeilOf(top), y1 = FloorOf(bottom);
  if (y0 > y1) NoCommonArea();
  // Tops in y0 .. y0 + reach, bottoms in y1 - reach .. y1, in steps that
  // keep the search within a thousand of each.
  reach = std::min(reach, y1 - y0);
  const int64_t step = std::max<int64_t>(1, reach / 1024);
  const Slices tops = SlicesAt(placed, y0, reach, step), bottoms = SlicesAt(placed, y1, reach, -step);
  CommonArea best;
  uint64_t bestPixels = 0;
  for (size_t i = 0; i < tops.ys.size(); ++i)
    for (size_t j = 0; j < bottoms.ys.size() && bottoms.ys[j] >= tops.ys[i]; ++j) {
      const int64_t left = CeilOf(std::max(tops.lo[i], bottoms.lo[j]));
      const int64_t right = FloorOf(std::min(tops.hi[i], bottoms.hi[j]));
      if (right < left) continue;
      const uint64_t w = uint64_t(right - left + 1), h = uint64_t(bottoms.ys[j] - tops.ys[i] + 1);
      if (w * h > bestPixels) {
        bestPixels = w * h;
        best = {left, tops.ys[i], uint32_t(w), uint32_t(h)};
      }
    }
  if (bestPixels == 0) NoCommonArea();
  return best;
}

KeyRect ParseKeyRect(const QString& text) {
  const QStringList parts = text.split(QChar(','));
  KeyRect key;
  int64_t* fields[4] = {&key.x, &key.y, &key.width, &key.height};
  bool ok = parts.size() == 4;
  for (int i = 0; ok && i < 4; ++i) {
    try {
      *fields[i] = ParseInt(parts[i].trimmed());
    } catch (const Error&) {
      ok = false;
    }
  }
  if (!ok || key.width <= 0 || key.height <= 0)
    Fail(QStringLiteral("The key rectangle \"%1\" is not X,Y,W,H in the first view's pixels (four whole numbers, W and H above 0)").arg(text));
  return key;
}

QString KeyRectText(const KeyRect& key) {
  return QStringLiteral("%1,%2,%3,%4").arg(key.x).arg(key.y).arg(key.width).arg(key.height);
}

}  // namespace plivora
