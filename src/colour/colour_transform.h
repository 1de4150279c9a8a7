// Colour conversion between two profiles, 8 bits a sample, by LittleCMS.
// Pixels are the four-byte pixels of colour_model.h.
#pragma once

#include <QString>
#include <atomic>
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
  friend class RowConversion;
  static constexpr int kMemoBits = 17;  // 1 MiB: within a core's second-level cache
  struct Cms;
  std::unique_ptr<Cms> cms_;
  // A greyscale source has 256 colours: each one's pixel, converted once.
  std::vector<uint32_t> greyTable_;
  bool padded_ = false;  // an RGB destination, whose padding is cleared
  // The colours met before by every RowConversion of this transform, on
  // any thread: the views of one series share most of their colours.
  // Direct-mapped by a hash of the pixel: pixel << 32 | converted, each
  // slot read and written whole, so that a slot never pairs one pixel with
  // another's conversion. Every slot starts as pixel 0 and its conversion,
  // so none is ever empty. None for a tabled source.
  std::unique_ptr<std::atomic<uint64_t>[]> memo_;
};

// Converts a view's rows through a transform, remembering colours it has
// converted in the transform's memo: views are mostly colours met before
// (flat areas and gradients of rendered scenes, a photograph's neighbours,
// the other views of the scene), and a remembered colour costs a few
// nanoseconds where LittleCMS takes 10 to 60. The pixels are those the
// transform gives, whatever is remembered. One a view reader: not for
// several threads at once; the memo it shares with the others is.
class RowConversion {
 public:
  explicit RowConversion(std::shared_ptr<const ColourTransform> transform);
  // As ColourTransform::Convert, but `in` and `out` must not overlap.
  void Convert(const uint8_t* in, uint8_t* out, size_t pixels);

 private:
  std::shared_ptr<const ColourTransform> transform_;
  // The pixels of a row the memo did not have, where they go, and their
  // conversions: converted together, in one call.
  std::vector<uint32_t> missed_, at_, converted_;
};

}  // namespace plivora
