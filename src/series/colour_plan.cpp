#include "series/colour_plan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "colour/colour_transform.h"
#include "common/error.h"
#include "series/view_error.h"

namespace plivora {

namespace {

// A view's rows converted by a transform one source profile's views share;
// a row asked for again (the export's rows repeat when the plate is taller
// than the views) is converted once. The transform may still be in the
// making: the first row waits for it.
class ConvertedReader final : public SourceReader {
 public:
  ConvertedReader(std::unique_ptr<SourceReader> native, PendingTransform transform, ColourModel model)
      : native_(std::move(native)), transform_(std::move(transform)), nativeRow_(size_t(native_->image().Width) * 4),
        row_(nativeRow_.size()) {
    image_ = native_->image();
    image_.Model = model;
    columns_ = image_.Width;
  }

  void Start() override { native_->Start(); }

  void ReadRow(uint32_t row, uint8_t* dest) override {
    if (int64_t(row) != converted_) {
      converted_ = -1;
      native_->ReadRow(row, nativeRow_.data());
      if (!conversion_) conversion_.emplace(transform_.get());  // raises what making it raised
      conversion_->Convert(nativeRow_.data(), row_.data(), columns_);
      converted_ = row;
    }
    std::memcpy(dest, row_.data(), row_.size());
  }

  bool HasAlpha() const override { return native_->HasAlpha(); }
  void ReadAlpha(uint8_t* dest) const override { native_->ReadAlpha(dest); }

  void UseColumns(uint32_t columns) override {
    columns_ = std::min(columns, image_.Width);
    converted_ = -1;
    std::fill(row_.begin() + ptrdiff_t(columns_) * 4, row_.end(), uint8_t(0));
  }

 private:
  std::unique_ptr<SourceReader> native_;
  PendingTransform transform_;  // this reader's own copy: each thread waits on its own
  std::optional<RowConversion> conversion_;
  std::vector<uint8_t> nativeRow_, row_;  // the row as read, and converted
  int64_t converted_ = -1;
  uint32_t columns_ = 0;  // the columns converted; row_ holds 0 past them
};

// Makes the transform on a thread of its own: LittleCMS samples the whole
// conversion into its tables first (about 30 ms for RGB into a CMYK
// press's profile), which the caption strip and the row engine's setting
// up can run beside. Made here when no thread can start.
PendingTransform MakeTransform(const IccProfile& from, const IccProfile& to, Intent intent) {
  const auto make = [from, to, intent] { return std::make_shared<const ColourTransform>(from, to, intent); };
  try {
    return std::async(std::launch::async, [make] { return std::shared_ptr<const ColourTransform>(make()); }).share();
  } catch (const std::system_error&) {
    std::promise<std::shared_ptr<const ColourTransform>> made;
    made.set_value(make());
    return made.get_future().share();
  }
}

// What defines a view's colours: its embedded profile, checked, or its
// model's default.
IccProfile ViewProfile(const SourceImage& image, const std::optional<IccProfile>& press) {
  if (!image.Profile.isEmpty()) {
    QString whyNot;
    const std::optional<IccProfile> embedded = IccProfile::FromBytes(image.Profile, &whyNot);
    if (!embedded) FailView(image.Path, QStringLiteral("its embedded ICC profile cannot be used: %1").arg(whyNot));
    if (embedded->model() != image.Model)
      FailView(image.Path, QStringLiteral("its embedded ICC profile is one of %1, but its pixels are %2")
                               .arg(ColourModelName(embedded->model()), ColourModelName(image.Model)));
    return *embedded;
  }
  switch (image.Model) {
    case ColourModel::kRgb: return IccProfile::Srgb();
    case ColourModel::kGrey: return IccProfile::Grey22();
    case ColourModel::kLab: return IccProfile::Lab();
    case ColourModel::kCmyk: break;
  }
  return *press;
}

}  // namespace

ColourPlan PlanColours(ViewSet& views, const ColourOptions& options, bool negativeInput) {
  const ColourModel working = WorkingModel(options.plate);
  for (size_t f = 0; f < views.FileCount(); ++f) {
    const SourceImage& image = views.FileReader(f).image();
    if (negativeInput && image.Model != ColourModel::kCmyk)
      FailView(image.Path, QStringLiteral("it is %1, and a series of .gjs views holds inverted CMYK throughout")
                               .arg(ColourModelName(image.Model)));
  }
  // The profiles the options name are checked whether used or not; the
  // default CMYK profile only when it is needed.
  const auto cmykProfile = [&] {
    return IccProfile::FromFile(options.cmykProfile.isEmpty() ? QString::fromLatin1(kDefaultCmykProfile) : options.cmykProfile,
                                ColourModel::kCmyk, QStringLiteral("the CMYK profile"));
  };
  std::optional<IccProfile> press;
  if (!options.cmykProfile.isEmpty()) press = cmykProfile();
  const IccProfile rgb = options.rgbProfile.isEmpty()
                             ? IccProfile::Srgb()
                             : IccProfile::FromFile(options.rgbProfile, ColourModel::kRgb, QStringLiteral("the RGB profile"));
  const bool needsPress = [&] {
    for (size_t f = 0; f < views.FileCount(); ++f) {
      const ColourModel model = views.FileReader(f).image().Model;
      if (working == ColourModel::kCmyk ? model != ColourModel::kCmyk : model == ColourModel::kCmyk) return true;
    }
    return options.plate == PlateColour::kCmyk;
  }();
  if (needsPress && !press) press = cmykProfile();
  // What views are converted into (the press's profile exists whenever a
  // view is to become CMYK).
  const IccProfile* target = working == ColourModel::kRgb ? &rgb : press ? &*press : nullptr;

  ColourPlan plan;
  std::map<QByteArray, PendingTransform> transforms;  // by source profile
  std::optional<QByteArray> sharedCmyk;  // the profile every CMYK view embeds, while they agree
  bool cmykAgree = true;
  for (size_t f = 0; f < views.FileCount(); ++f) {
    const SourceImage& image = views.FileReader(f).image();
    if (image.Model == ColourModel::kCmyk && working == ColourModel::kCmyk) {
      // Numbers kept. Which profile they share decides the plate's.
      if (!sharedCmyk) sharedCmyk = image.Profile;
      cmykAgree = cmykAgree && *sharedCmyk == image.Profile;
      continue;
    }
    const IccProfile source = ViewProfile(image, press);
    if (image.Model == working && source == *target) continue;  // RGB in the plate's own profile
    PendingTransform& transform = transforms[source.bytes()];
    if (!transform.valid()) {
      transform = MakeTransform(source, *target, options.intent);
      plan.transforms.push_back(transform);
    }
    views.WrapFileReader(f, [&](std::unique_ptr<SourceReader> native) {
      return std::make_unique<ConvertedReader>(std::move(native), transform, working);
    });
    ++plan.convertedFiles;
  }

  switch (options.plate) {
    case PlateColour::kGrey: break;
    case PlateColour::kRgb:
      plan.plateProfile = rgb.bytes();
      plan.plateProfileName = rgb.description();
      break;
    case PlateColour::kCmyk: {
      QString whyNot;
      const std::optional<IccProfile> shared = plan.convertedFiles == 0 && cmykAgree && sharedCmyk && !sharedCmyk->isEmpty()
                                                   ? IccProfile::FromBytes(*sharedCmyk, &whyNot)
                                                   : std::nullopt;
      const IccProfile& defining = shared && shared->model() == ColourModel::kCmyk ? *shared : *press;
      plan.plateProfile = defining.bytes();
      plan.plateProfileName = defining.description();
      break;
    }
  }
  return plan;
}

void ColourPlan::WaitForTransforms() const {
  for (const PendingTransform& t : transforms) t.get();
}

}  // namespace plivora
