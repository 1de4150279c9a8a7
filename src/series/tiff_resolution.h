// The physical size of a TIFF's pixels, from its XResolution,
// YResolution and ResolutionUnit tags: what places a plate under a lens.
#pragma once

#include <QString>
#include <optional>

#include "common/numbers.h"
#include "series/source_file.h"

namespace plivora {

// Pixels per inch across (x) and down (y).
struct TiffResolution {
  Real x = 0, y = 0;
};

// The resolution of the first image directory of `file`: the two tags in
// the file's unit (inch when the tag is missing, or centimetre), in pixels
// per inch. Nothing, with the reason in *whyNot ("it has no XResolution
// tag", "it is not a TIFF file"), when the file is no TIFF libtiff opens,
// a tag is missing, not above 0 or past any real resolution, or the unit is
// none or unknown. Reads through the views' libtiff client; never raises for
// the file's content.
std::optional<TiffResolution> ReadTiffResolution(SourceFile& file, QString* whyNot);

}  // namespace plivora
