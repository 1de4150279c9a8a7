// The caption strip under the image: two lines of white text on black, the
// date and time of the export and the output's path, drawn at the full
// output resolution and then squeezed by the compress factor like the image
// rows (vertically; horizontally across horizontal lenses).
#pragma once

#include <QDateTime>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drawing/shrunk_drawing.h"

namespace plivora {

struct CaptionStripInput {
  int32_t outputWidth = 0;
  int32_t stripRows = 0;
  int compress = 1;
  int64_t dpiE9 = 0;
  QString outputPath;
  QDateTime now;
  QString panel;  // "2 of 3" when the print is cut into panels
  // Columns squeezed like rows: across horizontal lenses the compress
  // factor applies to the columns and the strip's text is drawn narrower
  // by it (compress is then 1).
  int columnSqueeze = 1;
};

// The first line: "2026 年  12 月 06 日 23 时 05 分 09 秒".
QString CaptionDateText(const QDateTime& now);
// The second line: the panel when there is one ("2 of 3"), the path and
// the identification text.
QString CaptionPathText(const QString& outputPath, const QString& panel = {});

// stripRows rows of outputWidth bytes, top row first: 0 for background, 255
// for text (plate/level_rows.h gives the file's form). The full-resolution
// image is only reserved address space; it is drawn in bands of at most 256
// rows and about 8 MB, around the rows the strip keeps, so memory is the
// strip plus one band. Creates a QGuiApplication on the offscreen platform
// when the process has none (EnsureGuiApplication). Raises "Not enough
// memory for the caption strip (W x H pixels)" when the full-resolution
// image can't be addressed.
std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in);
// The same bytes, drawing at most `maxBandRows` full-resolution rows at a
// time (0: the usual band).
std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in, int maxBandRows);
// The same rows handed to `sink` band by band as they are drawn, never held
// together.
void DrawCaptionStrip(const CaptionStripInput& in, const LevelRowsFn& sink);

}  // namespace plivora
