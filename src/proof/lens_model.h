// The lens a proof looks through, and where an eye stands.
//
// Coordinates across the lenses run from the plate's left edge to the right
// (vertical lenses) or from its top edge down (horizontal lenses), the way
// the plate's columns (rows) are numbered: the lens pattern of a Plivora
// plate steps through its views in that direction, first view first.
// A lens sheet laid on the plate starts at that edge: lens i spans
// [i, i + 1) / LPI inches from it.
//
// Angles are degrees off square, positive for an eye towards the start of
// that axis: left of square for vertical lenses, above it for horizontal
// ones. A lens shows what lies on the far side of its centre, so an eye on
// the left looks at the right part of each lens, where a Plivora plate puts
// its later views: from the left the last view, from the right the first,
// and a sweep from negative to positive angles plays the views in order.
#pragma once

#include <QString>
#include <optional>

#include "common/numbers.h"

namespace plivora {

enum class LensDirection { kVertical, kHorizontal };

// "vertical", "horizontal"; nothing for any other text.
std::optional<LensDirection> LensDirectionFromName(const QString& name);
QString LensDirectionName(LensDirection direction);

// A lens sheet: its real pitch, its direction, and the optics that decide
// which part of the plate each lens shows. It has no defaults of its own:
// the export options' table declares them with the other lens options
// (a common 75 LPI PET sheet, 0.46 mm thick, index 1.57), and the command
// lines and the window fill every field from it. A model left unfilled is
// refused (CheckLensModel).
struct LensModel {
  Real lpi = 0;  // lenses per inch
  LensDirection direction = LensDirection::kVertical;
  Real thickness = 0;  // inches, from the lens crest to the plate behind it
  Real index = 0;      // refractive index of the sheet

  Real Pitch() const { return Divide(1, lpi); }  // inches
};

// Raises Error naming what is wrong when `lens` cannot be modelled: an LPI
// not above 0, a thickness not above 0, an index below 1 (all finite).
void CheckLensModel(const LensModel& lens);

// Where on the plate a lens shows itself to an eye `angle` degrees off
// square, across the lenses, in inches from the lens's centre (positive
// towards the right or the bottom). The ray through the lens's crest, where
// the surface lies square to the plate, is refracted as at a flat surface
// (sin a = index x sin a') and runs on through the sheet's thickness: the
// paraxial lens, focused on the plate, brings every ray of that direction
// to the same point. |angle| < 90.
Real SeenOffset(const LensModel& lens, Real angle);

// The largest angle off square, in degrees, at which every lens still shows
// a point of its own strip of the plate: where the seen point reaches the
// lens's edge, half a pitch from its centre. Beyond it the neighbouring
// strips come round, and the views with them. 90 when a sheet so thin or of
// so high an index never reaches the edge.
Real LobeAngle(const LensModel& lens);

// The eye: far away at `angle`, or at `distance` from the print's centre in
// the direction `angle`, moved `sideways` across the lenses (positive
// towards the left or the top, as angles are). Lengths in inches.
struct Viewpoint {
  Real angle = 0;
  std::optional<Real> distance;  // none: far away, every lens seen at `angle`
  Real sideways = 0;

  // The angle at which the eye sees a lens whose centre lies `across`
  // inches from the print's centre (positive towards the right or bottom).
  Real AngleAt(Real across) const;
};

}  // namespace plivora
