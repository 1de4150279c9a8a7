// Views read through their shifts and turns (view_transform.h), cut to the
// area every aligned view covers.
//
// An aligned reader hands out the rows of the common area, top to bottom,
// as a view reader does: area.width x area.height pixels, 4 bytes a pixel
// in its view's model. Whole-pixel shifts copy the view's pixels exactly;
// any other shift or a turn resamples with the cubic filter (cubic_filter.h)
// in two passes: along each source row onto the slanted line every output
// column comes from, then down those lines. Each source row is filtered
// along once, when first needed, into a band of rows as tall as the turn
// needs (area width x sin(turn) + 6 rows), never the whole view.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "series/cubic_filter.h"
#include "series/shared_rows.h"
#include "series/source_image.h"
#include "series/view_set.h"
#include "series/view_transform.h"

namespace plivora {

// The aligned reader of the view `rows` reads, as one taker of it: rows of
// `area` (columns area.left .., rows area.top .. of the reference grid) of
// the view moved by `t`. Raises when a whole shift puts the area outside
// the view (a fault in the caller: CommonAreaOf gives areas that fit).
std::unique_ptr<SourceReader> OpenAlignedSource(std::shared_ptr<SharedRows> rows, const ViewTransform& t,
                                                const CommonArea& area, FilterPath path = DefaultFilterPath());

// LoadSourceBitmap of the view at `path` read through `t` and cut to `area`
// (the previews of an aligned series). Raises the reader's errors.
ColourModel LoadAlignedBitmap(const QString& path, const ViewTransform& t, const CommonArea& area, QImage& bitmap,
                              bool negativeInput);

// The common area of the listings of `views`, each moved by its transform
// (one a listing).
CommonArea CommonAreaOf(const ViewSet& views, const std::vector<ViewTransform>& transforms);

// Puts an aligned reader in the place of every listing of `views`: listing
// i then hands out the rows of `area` of its view moved by transforms[i].
// Listings of one file share its reader through one band of rows, so they
// may be shifted apart; listings of one file with one transform share one
// aligned reader, which resamples every row once. Call it after the
// listings' readers are final (after PlanColours), before the first row is
// read.
void AlignViews(ViewSet& views, const std::vector<ViewTransform>& transforms, const CommonArea& area);

}  // namespace plivora
