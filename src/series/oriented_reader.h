// Views shown upright: a file may store its picture turned or flipped and
// say so (TIFF Orientation, the EXIF orientation of a JPEG or PNG), and
// every viewer shows it turned back. So does this reader.
#pragma once

#include <memory>

#include "series/source_image.h"

namespace plivora {

// Wraps `stored`, whose image().Orientation is 2 to 8, in a reader that
// hands out its rows upright (Orientation 1; width and height swapped for a
// quarter turn). A mirrored picture (2) is turned row by row; every other
// orientation needs rows from the bottom up or columns, so the picture is
// decoded whole, into a buffer claimed from `budget` now, when the reader
// Starts. Raises Refusal when the budget cannot hold it.
std::unique_ptr<SourceReader> OrientSource(std::unique_ptr<SourceReader> stored, DecodeBudget& budget);

}  // namespace plivora
