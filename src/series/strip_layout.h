// The one layout the reader reads without a TIFF library: little-endian,
// directory at offset 8, one uncompressed strip of interleaved 8-bit CMYK
// samples, pixel data wholly inside the file.
#pragma once

#include <QString>
#include <optional>

#include "series/source_file.h"
#include "series/source_image.h"

namespace plivora {

// The view's size and data offset when `file` is in the strip layout;
// otherwise nothing, with the reason in *whyNot ("its pixel data is
// compressed (LZW); ..."). Reading errors other than a short file raise.
std::optional<SourceImage> ReadStripLayout(const SourceFile& file, QString* whyNot);

}  // namespace plivora
