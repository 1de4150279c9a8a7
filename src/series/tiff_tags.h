// What the first directory of a TIFF view says about its pixels, read by
// libtiff and checked by one set of rules, whichever way the pixels are then
// read (straight from the file for the strip layout, or decoded by libtiff).
#pragma once

#include <tiffio.h>

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "colour/colour_model.h"
#include "common/library_messages.h"

namespace plivora {

struct TiffTags {
  uint32_t width = 0, height = 0;
  uint16_t bits = 8, samples = 4, planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
  bool reversedBits = false;  // FillOrder 2: the bits of each stored byte come lowest first
  uint16_t orientation = 1;   // 1 to 8, as TIFF and EXIF number them
  ColourModel model = ColourModel::kCmyk;
  // The samples kept of each pixel, 8 bits each: C, M, Y, K; R, G, B; L, a,
  // b; a grey; a palette index; then the alpha, when there is one.
  uint32_t channels = 4;
  bool alpha = false, premultiplied = false, whiteIsZero = false;
  bool signedAb = false;  // CIELab: a and b stored as signed numbers, to be offset by 128
  std::vector<uint32_t> palette;  // R, G, B, 0 of each of 256 indices, for palette colour
  QByteArray profile;             // the embedded ICC profile (tag 34675) as stored
  uint32_t kept() const { return channels + (alpha ? 1 : 0); }
};

// Reads and checks the tags of the directory `tif` has open; `messages` holds
// what libtiff said while opening it. In the strip layout (`stripLayout`) an
// absent PhotometricInterpretation, SamplesPerPixel or BitsPerSample tag
// means CMYK, 4 and 8, as that layout has always read them. Raises Refusal
// with the reason a file cannot be a view.
TiffTags ReadTiffTags(TIFF* tif, const LibraryMessages& messages, bool stripLayout);

// Reverses the bits of every byte of `bytes` (FillOrder 2 to 1).
void ReverseBits(uint8_t* bytes, size_t count);

}  // namespace plivora
