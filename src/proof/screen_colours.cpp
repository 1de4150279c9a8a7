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
  IccProfile from = embedded ? EmbeddedProfile(frame, platePath)
                             : IccProfile::FromFile(QString::fromLatin1(kDefaultCmykProfile), ColourModel::kCmyk,
                                                    QStringLiteral("the CMYK profile"));
  transform_ = std::async(std::launch::async, [from = std::move(from)] {
                 return std::shared_ptr<const ColourTransform>(
                     std::make_shared<ColourTransform>(from, IccProfile::Srgb(), Intent::kRelative));
               }).share();
}

// Waits for the transform's thread: it must not outlive what it uses.
ScreenColours::~ScreenColours() {
  if (transform_.valid()) transform_.wait();
}

// `pixels` (four bytes each) through the plate's profile to sRGB, in place.
void ScreenColours::Convert(std::vector<uint8_t>& pixels) {
  if (!conversion_) conversion_ = std::make_unique<RowConversion>(transform_.get());  // raises what the build raised
  converted_.resize(pixels.size());
  conversion_->Convert(pixels.data(), converted_.data(), pixels.size() / 4);
  pixels.swap(converted_);
}

QImage ScreenColours::ToScreen(const ProofPicture& picture) {
  QImage image(int(picture.width), int(picture.height), QImage::Format_RGB888);
  if (image.isNull()) Fail(QStringLiteral("Not enough memory for a proof of %1 x %2").arg(picture.width).arg(picture.height));
  std::vector<uint8_t> pending;     // the pixels of a row that need converting
  std::vector<uint32_t> pendingAt;  // and where they go
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* in = &picture.pixels[size_t(y) * picture.width * 4];
    uint8_t* out = image.scanLine(int(y));
    pending.clear();
    pendingAt.clear();
    for (uint32_t x = 0; x < picture.width; ++x) {
      const uint8_t* p = in + size_t(x) * 4;
      const bool grey = equalInksAreGrey_ && p[0] == p[1] && p[1] == p[2] && p[2] == p[3];
      if (transform_.valid() && !grey) {
        pending.insert(pending.end(), p, p + 4);
        pendingAt.push_back(x);
        continue;
      }
      for (int c = 0; c < 3; ++c) out[3 * x + c] = grey ? uint8_t(255 - p[0]) : p[c];
    }
    if (pending.empty()) continue;
    Convert(pending);
    for (size_t i = 0; i < pendingAt.size(); ++i)
      for (int c = 0; c < 3; ++c) out[3 * pendingAt[i] + c] = pending[4 * i + c];
  }
  return image;
}

}  // namespace plivora
