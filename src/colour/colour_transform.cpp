#include "colour/colour_transform.h"

#include <cstring>

#include "colour/cms.h"
#include "common/error.h"

namespace plivora {

namespace {

// The four-byte pixels as LittleCMS reads and writes them.
cmsUInt32Number PixelFormat(ColourModel model) {
  switch (model) {
    case ColourModel::kGrey: return COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);
    case ColourModel::kRgb: return COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | BYTES_SH(1) | EXTRA_SH(1);
    case ColourModel::kCmyk: break;
  }
  return TYPE_CMYK_8;
}

cmsUInt32Number CmsIntent(Intent intent) {
  switch (intent) {
    case Intent::kPerceptual: return INTENT_PERCEPTUAL;
    case Intent::kSaturation: return INTENT_SATURATION;
    case Intent::kAbsolute: return INTENT_ABSOLUTE_COLORIMETRIC;
    case Intent::kRelative: break;
  }
  return INTENT_RELATIVE_COLORIMETRIC;
}

QString Named(const IccProfile& profile) {
  return profile.description().isEmpty() ? ColourModelName(profile.model()) + QStringLiteral(" profile")
                                         : QStringLiteral("\"%1\"").arg(profile.description());
}

}  // namespace

std::optional<Intent> IntentFromName(const QString& name) {
  for (const Intent i : {Intent::kPerceptual, Intent::kRelative, Intent::kSaturation, Intent::kAbsolute})
    if (name == IntentName(i)) return i;
  return std::nullopt;
}

QString IntentName(Intent intent) {
  switch (intent) {
    case Intent::kPerceptual: return QStringLiteral("perceptual");
    case Intent::kSaturation: return QStringLiteral("saturation");
    case Intent::kAbsolute: return QStringLiteral("absolute");
    case Intent::kRelative: break;
  }
  return QStringLiteral("relative");
}

// The context goes last: the transform and the handles opened in it first.
struct ColourTransform::Cms {
  CmsContext context;
  CmsProfile from, to;
  cmsHTRANSFORM transform = nullptr;
  ~Cms() {
    if (transform) cmsDeleteTransform(transform);
  }
};

ColourTransform::ColourTransform(const IccProfile& from, const IccProfile& to, Intent intent)
    : cms_(std::make_unique<Cms>()), padded_(to.model() == ColourModel::kRgb) {
  Cms& c = *cms_;
  c.from = OpenProfile(c.context, from.bytes());
  c.to = OpenProfile(c.context, to.bytes());
  // No one-pixel cache (it would be shared by the threads that convert);
  // black points matched where the intent allows it.
  cmsUInt32Number flags = cmsFLAGS_NOCACHE;
  if (intent == Intent::kPerceptual || intent == Intent::kRelative) flags |= cmsFLAGS_BLACKPOINTCOMPENSATION;
  if (c.from && c.to)
    c.transform = cmsCreateTransformTHR(c.context.get(), c.from.get(), PixelFormat(from.model()), c.to.get(),
                                        PixelFormat(to.model()), CmsIntent(intent), flags);
  if (!c.transform)
    Fail(QStringLiteral("Cannot convert from %1 to %2 (%3 intent): %4")
             .arg(Named(from), Named(to), IntentName(intent),
                  c.context.messages().Reason(QStringLiteral("LittleCMS cannot join the two profiles"))));
  if (from.model() == ColourModel::kGrey) {
    uint32_t greys[256];
    for (uint32_t g = 0; g < 256; ++g) greys[g] = g * 0x00010101u;
    greyTable_.resize(256);
    cmsDoTransform(c.transform, greys, greyTable_.data(), 256);
    if (padded_)
      for (uint32_t& pixel : greyTable_) pixel &= 0x00FFFFFFu;
  }
}

ColourTransform::~ColourTransform() = default;

void ColourTransform::Convert(const uint8_t* in, uint8_t* out, size_t pixels) const {
  if (!greyTable_.empty()) {
    for (size_t i = 0; i < pixels; ++i) std::memcpy(out + 4 * i, &greyTable_[in[4 * i]], 4);
    return;
  }
  cmsDoTransform(cms_->transform, in, out, cmsUInt32Number(pixels));
  if (padded_)
    for (size_t i = 0; i < pixels; ++i) out[4 * i + 3] = 0;
}

}  // namespace plivora
