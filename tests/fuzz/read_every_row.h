// Opens a view and reads every row, as an export would, and takes bytes for
// an ICC profile: what the fuzzer and the corpus replay do with each input.
#pragma once

#include <functional>
#include <optional>
#include <memory>
#include <vector>

#include "colour/colour_transform.h"
#include "colour/icc_profile.h"
#include "common/error.h"
#include "series/read_ahead.h"
#include "series/source_image.h"

namespace plivora::fuzz {

// Reads top to bottom until the view ends or a row fails. Returns false when
// the view was refused or a row raised Error; anything else escapes. Views
// with more than `maxBytes` of rows are read only that far (a small file may
// declare a huge image that decodes from very little data).
inline bool ReadEveryRow(const std::function<std::unique_ptr<SourceReader>()>& open, uint64_t maxBytes = 64u << 20) {
  try {
    const std::unique_ptr<SourceReader> reader = open();
    const SourceImage& image = reader->image();
    const uint64_t rowBytes = uint64_t(image.Width) * 4;
    if (rowBytes == 0 || rowBytes > maxBytes) return true;
    std::vector<uint8_t> row(rowBytes), alpha(image.Width);
    for (uint64_t r = 0, read = 0; r < image.Height && read < maxBytes; ++r, read += rowBytes) {
      reader->ReadRow(uint32_t(r), row.data());
      reader->ReadAlpha(alpha.data());  // what a layer's alpha reads, from the same row
    }
    // Past the last row is an error, never a read outside the file.
    try {
      reader->ReadRow(image.Height, row.data());
    } catch (const Error&) {
      return true;
    }
    throw std::logic_error("a row below the view was read");
  } catch (const Error&) {
    return false;
  }
}

// Reads every other row, as a compress factor of 2 would, through the
// read-ahead: the rows decoded on worker threads, the failure (if any)
// handed over at its row. Returns what ReadEveryRow returns.
inline bool ReadEveryOtherRowAhead(const std::function<std::unique_ptr<SourceReader>()>& open,
                                   uint64_t maxBytes = 64u << 20) {
  try {
    std::vector<AheadView> views(1);
    views[0].reader = open();
    const SourceImage image = views[0].reader->image();
    const uint64_t rowBytes = uint64_t(image.Width) * 4;
    if (rowBytes == 0 || rowBytes > maxBytes) return true;
    for (uint64_t r = 0; r < image.Height && r * rowBytes < maxBytes; r += 2) views[0].rows.push_back(uint32_t(r));
    const std::vector<std::unique_ptr<SourceReader>> readers = ReadAhead(views, 2);
    std::vector<uint8_t> row(rowBytes);
    for (const uint32_t r : views[0].rows) readers[0]->ReadRow(r, row.data());
    return true;
  } catch (const Error&) {
    return false;
  }
}

// Takes `bytes` as a view's embedded profile is taken; when LittleCMS
// accepts it, converts pixels from it to sRGB and from sRGB into it. Returns
// false when it was refused; anything but Error escapes.
inline bool ConvertWithProfile(const QByteArray& bytes) {
  QString whyNot;
  const std::optional<IccProfile> profile = IccProfile::FromBytes(bytes, &whyNot);
  if (!profile) return false;
  try {
    uint8_t pixels[4 * 256];
    for (int i = 0; i < 4 * 256; ++i) pixels[i] = uint8_t(i * 7);
    ColourTransform(*profile, IccProfile::Srgb(), Intent::kPerceptual).Convert(pixels, pixels, 256);
    if (profile->model() != ColourModel::kGrey)
      ColourTransform(IccProfile::Srgb(), *profile, Intent::kRelative).Convert(pixels, pixels, 256);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace plivora::fuzz
