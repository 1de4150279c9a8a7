// A proof's colours for the screen (sRGB): a CMYK plate through its own
// profile, or the default CMYK profile when it embeds none; an RGB plate
// through its profile when it has one; grey as grey.
//
// Plivora's grey plates are CMYK files whose four inks are equal and which
// carry no profile: on a CMYK plate without a profile, a pixel of four equal
// inks is such a grey (ink g shows as 255 - g), and every other pixel is
// taken through the default CMYK profile.
#pragma once

#include <QImage>
#include <memory>

#include "colour/colour_transform.h"
#include "proof/plate_reader.h"
#include "proof/proof_renderer.h"

namespace plivora {

class ScreenColours {
 public:
  // Raises "Cannot read plate "PATH": its ICC profile cannot be used
  // (REASON)", or the default CMYK profile's refusal.
  ScreenColours(const PlateFrame& frame, const QString& platePath);
  ~ScreenColours();
  ScreenColours(const ScreenColours&) = delete;
  ScreenColours& operator=(const ScreenColours&) = delete;

  // The proof as an sRGB picture (QImage::Format_RGB888).
  QImage ToScreen(const ProofPicture& picture) const;

 private:
  ColourModel model_;
  bool equalInksAreGrey_ = false;
  std::unique_ptr<ColourTransform> transform_;  // none: the numbers are sRGB already
};

}  // namespace plivora
