// The pitch test sheet's own drawings, made at the full resolution (`dpi`
// dots an inch, white on black): its header (the print instruction above an
// inch ruler and a centimetre ruler across the sheet) and each strip's
// label. The sheet squeezes and places them like the caption strip.
#pragma once

#include <QString>

#include "common/numbers.h"

class QPainter;

namespace plivora {

// The header band, `width` pixels wide: `text`, then the two rulers.
void DrawSheetHeader(QPainter& painter, const QString& text, int width, Real dpi);

// A strip's label band: its LPI or phase, a mark and "nominal" before the
// strip printed at the nominal LPI.
void DrawStripLabel(QPainter& painter, const QString& label, bool nominal, Real dpi);

}  // namespace plivora
