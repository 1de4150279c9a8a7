#include "colour/colour_model.h"

#include "colour/plate_colour.h"

namespace plivora {

QString ColourModelName(ColourModel model) {
  switch (model) {
    case ColourModel::kGrey: return QStringLiteral("greyscale");
    case ColourModel::kRgb: return QStringLiteral("RGB");
    case ColourModel::kLab: return QStringLiteral("Lab");
    case ColourModel::kCmyk: break;
  }
  return QStringLiteral("CMYK");
}

std::optional<PlateColour> PlateColourFromName(const QString& name) {
  for (const PlateColour c : {PlateColour::kGrey, PlateColour::kCmyk, PlateColour::kRgb})
    if (name == PlateColourName(c)) return c;
  return std::nullopt;
}

QString PlateColourName(PlateColour colour) {
  switch (colour) {
    case PlateColour::kCmyk: return QStringLiteral("cmyk");
    case PlateColour::kRgb: return QStringLiteral("rgb");
    case PlateColour::kGrey: break;
  }
  return QStringLiteral("grey");
}

}  // namespace plivora
