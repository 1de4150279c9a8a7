// Colour conversion between two profiles, 8 bits a sample, by LittleCMS.
// Pixels are the four-byte pixels of colour_model.h.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "colour/icc_profile.h"

namespace plivora {

enum class Intent { kPerceptual, kRelative, kSaturation, kAbsolute };

// "perceptual", "relative", "saturation", "absolute"; nothing for any other text.
std::optional<Intent> IntentFromName(const QString& name);
QString IntentName(Intent intent);

// From one profile's model to another's, with black point compensation for
// the perceptual and the relative intent. Convert may run on several threads
// at once.
class ColourTransform {
 public:
  // Raises "Cannot convert from FROM to TO: REASON" when LittleCMS refuses.
  ColourTransform(const IccProfile& from, const IccProfile& to, Intent intent);
  ~ColourTransform();
  ColourTransform(const ColourTransform&) = delete;
  ColourTransform& operator=(const ColourTransform&) = delete;

  // `pixels` pixels from `in` to `out` (which may be the same); an RGB
  // pixel's padding comes out 0.
  void Convert(const uint8_t* in, uint8_t* out, size_t pixels) const;
  // A greyscale source, converted through a table of its 256 colours.
  bool tabled() const { return !greyTable_.empty(); }

 private:
  struct Cms;
  std::unique_ptr<Cms> cms_;
  // A greyscale source has 256 colours: each one's pixel, converted once.
  std::vector<uint32_t> greyTable_;
  bool padded_ = false;  // an RGB destination, whose padding is cleared
};

// Converts a view's rows through a transform, remembering colours it has
// converted: views are mostly colours met before (flat areas and gradients
// of rendered scenes, a photograph's neighbours), and a remembered colour
// costs a few nanoseconds where LittleCMS takes 10 to 40. The pixels are
// those the transform gives, whatever is remembered. One a view reader:
// not for several threads at once. Holds 128 KiB.
class RowConversion {
 public:
  explicit RowConversion(std::shared_ptr<const ColourTransform> transform);
  // As ColourTransform::Convert, but `in` and `out` must not overlap.
  void Convert(const uint8_t* in, uint8_t* out, size_t pixels);

 private:
  static constexpr int kMemoBits = 14;
  std::shared_ptr<const ColourTransform> transform_;
  // Direct-mapped by a hash of the pixel: pixel << 32 | converted. Every
  // slot starts as pixel 0 and its conversion, so none is ever empty.
  std::vector<uint64_t> memo_;
  // The pixels of a row the memo did not have, where they go, and their
  // conversions: converted together, in one call.
  std::vector<uint32_t> missed_, at_, converted_;
};

}  // namespace plivora
