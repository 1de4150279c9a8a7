// Frames of the animated preview: every view loaded whole, reduced to 400
// pixels across at the first view's scale, and turned into RGB.
//
// The first view fixes the scale S = round(W0 / 400 * 10000) and the frame
// size, 400 x round(H0 / S * 10000). Every later view is reduced by the same
// factor and then cut to the frame size (a larger view keeps its top-left
// part) or padded (a smaller one lands top-left; the rest carries no ink, so
// it shows white). All roundings are to nearest, ties to even.
#pragma once

#include <QImage>
#include <QSize>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "series/view_transform.h"

namespace plivora {

class SourceReader;

// What the first view of a run fixes for the views after it.
struct FrameScale {
  int64_t S = 0;      // 0 until the first view sets it
  QSize frameSize{};  // invalid until the first view sets it
};

// round(width / 400 * 10000): 25 times the width.
int64_t ScaleForWidth(uint32_t width);
// round(width / S * 10000) by round(height / S * 10000); a side that rounds
// to 0 is kept 1 pixel long.
QSize ReducedSize(uint32_t width, uint32_t height, int64_t S);

// Reduces the CMYK bitmap `view` (32 bits per pixel, as loaded) into a new
// CMYK bitmap of scale.frameSize, setting S and the frame size first when
// `scale` is still unset. The reduction picks pixels (column x of the reduced
// view is column x * W / w of the view, rows alike): nothing is averaged, and
// the four CMYK bytes of each pixel arrive unchanged.
QImage ReduceView(const QImage& view, FrameScale& scale);

// A view of an aligned series as the export reads it: moved by its shift
// and turn, and cut to the area every moved view of the series covers.
struct AlignedRead {
  ViewTransform transform;
  CommonArea area;
};

// Loads the view at `path` with LoadSourceBitmap (through `aligned` when
// given) (inks inverted back for a
// negative series; RGB and grey views as RgbAsInks gives them), reduces it
// as ReduceView does and returns the RGB picture. The loaded view is released before this returns.
QImage BuildFrame(const QString& path, bool negativeInput, FrameScale& scale,
                  const std::optional<AlignedRead>& aligned = std::nullopt);

// The same from the rows `reader` hands out (a view made from layers, say),
// read whole from its first row; `name` names it in errors.
QImage BuildReaderFrame(const QString& name, SourceReader& reader, FrameScale& scale);

// One RGB frame per path, in order, all of the first view's frame size,
// built one view a task on as many threads as an export composes on.
// Memory held: about paths.size() * 400 * (400 * H0 / W0) * 3 bytes, plus one
// whole view per thread while it is being reduced. A view that can't be
// read raises its error (the first such view in list order); the frames
// built are released.
// `aligned` holds one entry a path, or none for views read as they are.
std::vector<QImage> BuildFrames(const QStringList& paths, bool negativeInput, const std::vector<AlignedRead>& aligned = {});

}  // namespace plivora
