#include "align/depth_budget.h"

#include <cmath>

#include "common/error.h"

namespace plivora {

namespace {

Parallax InUnits(Real viewPixels, int pair, const PlateScale& scale) {
  Parallax p;
  p.viewPixels = viewPixels;
  p.inches = viewPixels / scale.viewPixelsPerInch;
  p.platePixels = p.inches * scale.dpi;
  p.lensWidths = p.inches * scale.lpi;
  p.pair = pair;
  return p;
}

// `value` with `decimals` decimals, "." between: rounded once, to nearest.
QString Fixed(Real value, int decimals) {
  Real scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const int64_t n = Round(value * scale);
  const QString digits = QString::number(n < 0 ? -n : n).rightJustified(decimals + 1, QChar('0'));
  const QString sign = n < 0 ? QStringLiteral("-") : QString();
  if (decimals == 0) return sign + digits;
  return sign + digits.left(digits.size() - decimals) + QChar('.') + digits.right(decimals);
}

QString Figures(const Parallax& p, bool chinese) {
  if (chinese)
    return QStringLiteral("%1 视图像素（%2 版面像素，%3 英寸，%4 个透镜宽度）")
        .arg(Fixed(p.viewPixels, 1), Fixed(p.platePixels, 0), Fixed(p.inches, 4), Fixed(p.lensWidths, 2));
  return QStringLiteral("%1 view pixels (%2 plate pixels, %3 in, %4 lens widths)")
      .arg(Fixed(p.viewPixels, 1), Fixed(p.platePixels, 0), Fixed(p.inches, 4), Fixed(p.lensWidths, 2));
}

}  // namespace

DepthBudget MeasureDepthBudget(const std::vector<NeighbourParallax>& parallax, const PlateScale& scale) {
  if (!(scale.viewPixelsPerInch > 0) || !(scale.dpi > 0) || !(scale.lpi > 0))
    Fail(QStringLiteral("Cannot work out the depth budget: the view pixels per inch, the DPI and the LPI must be above 0"));
  DepthBudget budget;
  Real front = 0, behind = 0;
  int frontPair = 0, behindPair = 0;
  for (const NeighbourParallax& n : parallax) {
    if (-n.low > front) front = -n.low, frontPair = n.first + 1;
    if (n.high > behind) behind = n.high, behindPair = n.first + 1;
  }
  budget.front = InUnits(front, frontPair, scale);
  budget.behind = InUnits(behind, behindPair, scale);
  budget.lensViewPixels = scale.viewPixelsPerInch / scale.lpi;
  budget.frames = int(Trunc(scale.dpi / scale.lpi));
  budget.ghosting = budget.front.lensWidths > 1 || budget.behind.lensWidths > 1;
  return budget;
}

QStringList DepthBudgetLines(const DepthBudget& budget, bool chinese) {
  QStringList lines;
  if (chinese) {
    lines << QStringLiteral("景深：关键平面前方最多 %1，后方最多 %2").arg(Figures(budget.front, true), Figures(budget.behind, true));
    lines << QStringLiteral("一个透镜覆盖 %1 视图像素，可显示 %2 帧").arg(Fixed(budget.lensViewPixels, 1)).arg(budget.frames);
  } else {
    lines << QStringLiteral("Depth: at most %1 in front of the key plane, %2 behind it")
                 .arg(Figures(budget.front, false), Figures(budget.behind, false));
    lines << QStringLiteral("One lens covers %1 view pixels; the print can show %2 frames")
                 .arg(Fixed(budget.lensViewPixels, 1))
                 .arg(budget.frames);
  }
  if (!budget.ghosting) return lines;
  const Parallax& worst = budget.front.lensWidths >= budget.behind.lensWidths ? budget.front : budget.behind;
  const bool inFront = &worst == &budget.front;
  if (chinese)
    lines << QStringLiteral("可能出现重影：视图 %1 与 %2 之间，关键平面%3的内容移动 %4，超过一个透镜宽度；请减小景深、移动关键平面或减少视图")
                 .arg(worst.pair)
                 .arg(worst.pair + 1)
                 .arg(inFront ? QStringLiteral("前方") : QStringLiteral("后方"), Figures(worst, true));
  else
    lines << QStringLiteral("Ghosting likely: between views %1 and %2 what lies %3 the key plane moves %4, more than one "
                            "lens width; reduce the depth, move the key plane or use fewer views")
                 .arg(worst.pair)
                 .arg(worst.pair + 1)
                 .arg(inFront ? QStringLiteral("in front of") : QStringLiteral("behind"), Figures(worst, false));
  return lines;
}

}  // namespace plivora
