// Views in PNG, decoded by libpng a row at a time: grey, grey with alpha,
// RGB, RGB with alpha and palette colour, 8 and 16 bits a sample (and grey
// of 1, 2 or 4 bits). Rows come out as source_image.h describes them; a
// transparent pixel (alpha, or a palette's tRNS) is laid over white. An
// interlaced (Adam7) image can only be decoded whole: it is, within the
// decode budget, or refused by name. An embedded profile (iCCP) is kept, and
// the orientation of an eXIf chunk handed on (SourceImage::Orientation).
// Ancillary chunks the reader has no use for are skipped unread.
#pragma once

#include <memory>

#include "series/source_file.h"
#include "series/source_image.h"

namespace plivora {

// True when `file` starts with the PNG signature.
bool IsPng(const SourceFile& file);

// Opens `file` as a PNG view and, with `start`, decodes its first row.
// Raises Error "Cannot read view "PATH": REASON"; libpng's messages never
// reach stderr.
std::unique_ptr<SourceReader> OpenPngSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget = nullptr,
                                            bool start = true);

}  // namespace plivora
