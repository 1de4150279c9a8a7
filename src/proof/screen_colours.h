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
#include <future>
#include <memory>
#include <optional>
#include <vector>

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

  // The proof as an sRGB picture (QImage::Format_RGB888). Not for several
  // threads at once: it remembers the colours it has converted.
  QImage ToScreen(const ProofPicture& picture);

 private:
  void Convert(std::vector<uint8_t>& pixels);

  ColourModel model_;
  bool equalInksAreGrey_ = false;
  // The transform to sRGB, none when the numbers are sRGB already. LittleCMS
  // takes tens of milliseconds to build it, so it is built on a thread of
  // its own from the start, beside the plate's first reading.
  std::shared_future<std::shared_ptr<const ColourTransform>> transform_;
  std::unique_ptr<RowConversion> conversion_;  // made when a pixel first needs it
  std::vector<uint8_t> converted_;
};

}  // namespace plivora
