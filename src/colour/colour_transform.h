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

 private:
  struct Cms;
  std::unique_ptr<Cms> cms_;
  // A greyscale source has 256 colours: each one's pixel, converted once.
  std::vector<uint32_t> greyTable_;
  bool padded_ = false;  // an RGB destination, whose padding is cleared
};

}  // namespace plivora
