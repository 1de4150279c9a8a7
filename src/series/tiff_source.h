// TIFF views. libtiff reads and checks the first directory of every one
// (tiff_tags.h); a CMYK file in the strip layout then has its pixels read
// straight from the file (strip_layout.h), every other is decoded through
// libtiff: several strips or tiles, LZW, Deflate, PackBits or JPEG, either
// byte order, the directory anywhere, samples interleaved or in planes, 8 or
// 16 bits per sample (1, 2 or 4 for greyscale and palette colour), bits in
// either fill order.
//
// A view is CMYK (PhotometricInterpretation 5, four inks), RGB (also
// JPEG-compressed YCbCr, as RGB), greyscale or palette colour. Samples past
// the model's must be declared ExtraSamples; the first, when it is an alpha,
// lays the pixel over white paper (a CMYK pixel's inks scaled by it), the
// others are dropped. 16-bit samples are reduced to 8 bits as
// round(v / 257), which maps 257 * n back to n exactly and has no ties; a
// palette's colours to their high byte. An embedded ICC profile (tag 34675)
// is kept, and one libtiff cannot read refuses the view. The Orientation tag
// is handed on in SourceImage::Orientation.
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
// own when null) before they are allocated. With `start` false the first row
// is decoded only by Start.
std::unique_ptr<SourceReader> OpenTiffSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget = nullptr,
                                             bool start = true);

}  // namespace plivora
