#include "proof/lens_model.h"

#include <cmath>

#include "common/error.h"

namespace plivora {

namespace {

constexpr Real kPi = 3.141592653589793238462643383279502884L;

Real Radians(Real degrees) { return degrees * kPi / 180; }
Real Degrees(Real radians) { return radians * 180 / kPi; }

}  // namespace

std::optional<LensDirection> LensDirectionFromName(const QString& name) {
  if (name == QLatin1String("vertical")) return LensDirection::kVertical;
  if (name == QLatin1String("horizontal")) return LensDirection::kHorizontal;
  return std::nullopt;
}

QString LensDirectionName(LensDirection direction) {
  return direction == LensDirection::kVertical ? QStringLiteral("vertical") : QStringLiteral("horizontal");
}

void CheckLensModel(const LensModel& lens) {
  if (!(lens.lpi > 0) || std::isinf(lens.lpi)) Fail(QStringLiteral("The lens's LPI must be above 0"));
  if (!(lens.thickness > 0) || std::isinf(lens.thickness)) Fail(QStringLiteral("The lens's thickness must be above 0"));
  if (!(lens.index >= 1) || std::isinf(lens.index)) Fail(QStringLiteral("The lens's refractive index must be 1 or more"));
}

Real SeenOffset(const LensModel& lens, Real angle) {
  const Real outside = std::sin(Radians(angle));
  const Real inside = outside / lens.index;  // sine of the refracted angle
  const Real cosine = std::sqrt(1 - inside * inside);
  return lens.thickness * inside / cosine;
}

Real LobeAngle(const LensModel& lens) {
  // tan a' = (pitch / 2) / thickness inside the sheet; sin a = index x sin a'.
  const Real tangent = lens.Pitch() / 2 / lens.thickness;
  const Real inside = tangent / std::sqrt(1 + tangent * tangent);
  const Real outside = lens.index * inside;
  if (outside >= 1) return 90;
  return Degrees(std::asin(outside));
}

Real Viewpoint::AngleAt(Real across) const {
  if (!distance) return angle;
  // The eye, in inches from the print's centre: `along` across the lenses
  // (negative towards the left or top), `height` off the print.
  const Real a = Radians(angle);
  const Real along = -(*distance * std::sin(a)) - sideways;
  const Real height = *distance * std::cos(a);
  return Degrees(std::atan2(across - along, height));
}

}  // namespace plivora
