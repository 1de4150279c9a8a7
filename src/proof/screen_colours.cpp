#include "proof/screen_colours.h"

#include <vector>

#include "colour/icc_profile.h"
#include "common/error.h"

namespace plivora {

namespace {

// The profile a plate embeds, when its model is the pixels'.
IccProfile EmbeddedProfile(const PlateFrame& frame, const QString& platePath) {
  QString whyNot;
  std::optional<IccProfile> profile = IccProfile::FromBytes(frame.profile, &whyNot);
  if (!profile) FailPlate(platePath, QStringLiteral("its ICC profile cannot be used (%1)").arg(whyNot));
  if (profile->model() != frame.model)
    FailPlate(platePath, QStringLiteral("its ICC profile is for %1 and its pixels are %2")
                             .arg(ColourModelName(profile->model()), ColourModelName(frame.model)));
  return *profile;
}

}  // namespace

ScreenColours::ScreenColours(const PlateFrame& frame, const QString& platePath) : model_(frame.model) {
  if (model_ == ColourModel::kGrey) return;
  const bool embedded = !frame.profile.isEmpty();
  if (model_ == ColourModel::kRgb && !embedded) return;
  equalInksAreGrey_ = model_ == ColourModel::kCmyk && !embedded;
  const IccProfile from = embedded ? EmbeddedProfile(frame, platePath)
                                   : IccProfile::FromFile(QString::fromLatin1(kDefaultCmykProfile), ColourModel::kCmyk,
                                                          QStringLiteral("the CMYK profile"));
  transform_ = std::make_unique<ColourTransform>(from, IccProfile::Srgb(), Intent::kRelative);
}

ScreenColours::~ScreenColours() = default;

QImage ScreenColours::ToScreen(const ProofPicture& picture) const {
  QImage image(int(picture.width), int(picture.height), QImage::Format_RGB888);
  if (image.isNull()) Fail(QStringLiteral("Not enough memory for a proof of %1 x %2").arg(picture.width).arg(picture.height));
  std::vector<uint8_t> row(size_t(picture.width) * 4);
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* in = &picture.pixels[size_t(y) * picture.width * 4];
    if (transform_)
      transform_->Convert(in, row.data(), picture.width);
    else
      std::copy(in, in + row.size(), row.begin());
    uint8_t* out = image.scanLine(int(y));
    for (uint32_t x = 0; x < picture.width; ++x) {
      const uint8_t* ink = in + size_t(x) * 4;
      const uint8_t* rgb = &row[size_t(x) * 4];
      const bool grey = equalInksAreGrey_ && ink[0] == ink[1] && ink[1] == ink[2] && ink[2] == ink[3];
      for (int c = 0; c < 3; ++c) out[3 * x + c] = grey ? uint8_t(255 - ink[0]) : rgb[c];
    }
  }
  return image;
}

}  // namespace plivora
