// Views outside the strip layout, decoded through libtiff: several strips or
// tiles, LZW, Deflate, PackBits or JPEG, either byte order, the directory
// anywhere, samples interleaved or in planes, 8 or 16 bits per sample.
//
// A view is CMYK (PhotometricInterpretation 5, four inks), RGB (also
// JPEG-compressed YCbCr, as RGB), greyscale or 8-bit palette colour.
// Samples past the model's must be declared ExtraSamples; the first, when
// it is an alpha, lays the pixel over white paper, the others are dropped
// (a CMYK view's inks are used as they are). 16-bit samples are reduced to
// 8 bits as round(v / 257), which maps 257 * n back to n exactly and has no
// ties. An embedded ICC profile (tag 34675) is kept.
//
// Rows come out as source_image.h describes them: Width * 4 bytes, CMYK as
// stored (never inverted), R, G, B, 0 or G, G, G, 0. They are decoded top
// to bottom, one strip (or one row of tiles) at a time, so a view holds at
// most one decoded strip or tile row in memory whatever its height.
#pragma once

#include <memory>

#include "series/source_file.h"
#include "series/source_image.h"

namespace plivora {

// Validates `file` as a view and opens it for reading rows. Everything that
// can be checked before decoding is checked here (colour model, sample
// layout, every strip or tile lying inside the file, the directory chain),
// and the first row is decoded, so most broken files are refused before an
// export creates its output. Raises Error "Cannot read view "PATH": REASON".
// libtiff's warnings and errors never reach stderr; they end up in messages.
// The buffers for decoding are claimed from `budget` (a budget of the view's
// own when null) before they are allocated.
std::unique_ptr<SourceReader> OpenTiffSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget = nullptr);

}  // namespace plivora
