// The orientation a camera records in EXIF: how the stored picture is to be
// turned to be shown upright (1 to 8, numbered as TIFF's Orientation tag).
#pragma once

#include <cstddef>
#include <cstdint>

namespace plivora {

// The Orientation entry (tag 274, one SHORT) of the first directory of an
// EXIF block: a TIFF structure ("II" or "MM", 42, the directory's offset),
// as a PNG's eXIf chunk holds it and a JPEG's APP1 segment after its
// "Exif\0\0". 1 when the block has none, is broken or gives a value outside
// 1 to 8: viewers then show the picture as stored, and so do we. Reads only
// inside `size` bytes.
uint16_t ExifOrientation(const uint8_t* block, size_t size);

}  // namespace plivora
