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
    case ColourModel::kLab: return COLORSPACE_SH(PT_Lab) | CHANNELS_SH(3) | BYTES_SH(1) | EXTRA_SH(1);
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
  // Black points matched where the intent allows it. The transform's
  // one-pixel cache stays: each conversion works on a copy of its own, so
  // threads may share the transform.
  cmsUInt32Number flags = 0;
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
    return;
  }
  uint32_t black = 0, converted = 0;
  Convert(reinterpret_cast<const uint8_t*>(&black), reinterpret_cast<uint8_t*>(&converted), 1);
  memo_ = std::make_unique<std::atomic<uint64_t>[]>(size_t(1) << kMemoBits);
  for (size_t i = 0; i < size_t(1) << kMemoBits; ++i) memo_[i].store(converted, std::memory_order_relaxed);
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

namespace {

uint32_t MemoSlot(uint32_t pixel, int bits) { return (pixel * 0x9E3779B1u) >> (32 - bits); }

}  // namespace

RowConversion::RowConversion(std::shared_ptr<const ColourTransform> transform) : transform_(std::move(transform)) {}

// The memo's slots are only ever whole pairs the transform made, so that
// relaxed loads and stores suffice: a slot another thread is overwriting
// gives either pair, both right.
void RowConversion::Convert(const uint8_t* in, uint8_t* out, size_t pixels) {
  std::atomic<uint64_t>* memo = transform_->memo_.get();
  if (!memo) return transform_->Convert(in, out, pixels);
  constexpr int bits = ColourTransform::kMemoBits;
  missed_.clear();
  at_.clear();
  for (size_t i = 0; i < pixels; ++i) {
    uint32_t pixel;
    std::memcpy(&pixel, in + 4 * i, 4);
    const uint64_t slot = memo[MemoSlot(pixel, bits)].load(std::memory_order_relaxed);
    if (uint32_t(slot >> 32) == pixel) {
      const auto converted = uint32_t(slot);
      std::memcpy(out + 4 * i, &converted, 4);
    } else {
      missed_.push_back(pixel);
      at_.push_back(uint32_t(i));
    }
  }
  if (missed_.empty()) return;
  converted_.resize(missed_.size());
  transform_->Convert(reinterpret_cast<const uint8_t*>(missed_.data()), reinterpret_cast<uint8_t*>(converted_.data()),
                      missed_.size());
  for (size_t j = 0; j < missed_.size(); ++j) {
    std::memcpy(out + 4 * size_t(at_[j]), &converted_[j], 4);
    memo[MemoSlot(missed_[j], bits)].store(uint64_t(missed_[j]) << 32 | converted_[j], std::memory_order_relaxed);
  }
}

}  // namespace plivora
