// Opens a view and reads every row, as an export would: what the fuzzer and
// the corpus replay do with each input.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "common/error.h"
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
    std::vector<uint8_t> row(rowBytes);
    for (uint64_t r = 0, read = 0; r < image.Height && read < maxBytes; ++r, read += rowBytes) reader->ReadRow(uint32_t(r), row.data());
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

}  // namespace plivora::fuzz
