// The one layout whose pixels are read without a TIFF library: little-endian,
// directory at offset 8, one uncompressed strip of interleaved 8-bit CMYK
// samples, pixel data wholly inside the file and clear of its header and
// directory. Its tags are checked with every TIFF's (tiff_tags.h); this
// finds where its pixels are.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "series/source_file.h"
#include "series/source_image.h"

namespace plivora {

// The view's size and data offset when `file` is in the strip layout.
// Nothing, with the reason in *whyNot ("its pixel data is compressed (LZW);
// ..."), when it is in another layout, which libtiff may read. A file in
// this layout whose pixels cannot be where it says (past the end of the
// file, over its own directory, in strips it has no offsets for) raises
// `Cannot read view "PATH": REASON`; so do reading errors other than a short
// file.
std::optional<SourceImage> ReadStripLayout(const SourceFile& file, QString* whyNot);

// A reader of a file ReadStripLayout accepted, as `image`: positioned reads
// straight into the caller's row, no buffer of its own. `reversedBits`: the
// file's FillOrder is 2, and every byte is read with its bits reversed.
std::unique_ptr<SourceReader> OpenStripReader(std::unique_ptr<SourceFile> file, const SourceImage& image,
                                              bool reversedBits);

}  // namespace plivora
