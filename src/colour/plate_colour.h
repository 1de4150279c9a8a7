// What a plate is printed in, and the colour options that go with it.
#pragma once

#include <QString>
#include <optional>

#include "colour/colour_transform.h"
#include "colour/icc_profile.h"

namespace plivora {

// grey: one grey value in all four samples (the plate setter's plate);
// cmyk: the views' four inks; rgb: three samples, for inkjet and UV printers.
enum class PlateColour { kGrey, kCmyk, kRgb };

// "grey", "cmyk", "rgb"; nothing for any other text.
std::optional<PlateColour> PlateColourFromName(const QString& name);
QString PlateColourName(PlateColour colour);

// The model a plate's rows are composed in: RGB for an RGB plate, CMYK for
// the others (a grey plate's grey comes from the inks).
inline ColourModel WorkingModel(PlateColour colour) {
  return colour == PlateColour::kRgb ? ColourModel::kRgb : ColourModel::kCmyk;
}

struct ColourOptions {
  PlateColour plate = PlateColour::kGrey;
  // The press's CMYK profile; kDefaultCmykProfile when empty.
  QString cmykProfile;
  // The RGB plate's profile; sRGB when empty.
  QString rgbProfile;
  Intent intent = Intent::kRelative;
};

}  // namespace plivora
