// Views in JPEG, decoded by libjpeg a row at a time: greyscale, RGB (stored
// as YCbCr) and CMYK (also as YCCK). CMYK that carries Adobe's marker is
// stored inverted, as Adobe's programs and most others write it, and comes
// out as positive inks. Rows come out as source_image.h describes them. An
// embedded profile (APP2) is kept, and the orientation of its EXIF (APP1)
// handed on (SourceImage::Orientation). A progressive JPEG is decoded whole
// by libjpeg, within the decode budget, or refused by name; so is one whose
// data ends early, or is too short for the picture its header claims.
#pragma once

#include <memory>

#include "series/source_file.h"
#include "series/source_image.h"

namespace plivora {

// True when `file` starts with the JPEG start-of-image marker.
bool IsJpeg(const SourceFile& file);

// Opens `file` as a JPEG view and, with `start`, decodes its first row.
// Raises Error "Cannot read view "PATH": REASON"; libjpeg's messages never
// reach stderr.
std::unique_ptr<SourceReader> OpenJpegSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget = nullptr,
                                             bool start = true);

}  // namespace plivora
