// The slug line's place in the margin above the image, after the marks.
//
// The line goes where it always went (type 0.08 inch high, starting on the
// left trim line, its baseline 0.38 inch above the image) when it lies
// whole inside the plate and clear of every mark. Otherwise it is set in
// the room above the crop marks, the alignment bar and the registration
// mark's top, from the plate's left edge, on as many lines as that room
// holds, each line around any mark there, in type 0.08, then 0.065, then
// 0.05 inch high; when even the smallest type does not hold it all, the
// parts are left out in the order PressMarks::slugLeaveOut gives, and at
// last the name is shortened in its middle. Nothing is drawn when not even
// that fits.
#pragma once

#include <QFont>

#include "drawing/press_layout.h"

namespace plivora {

// The slug's type, `pixelSize` dots high: hard-edged, unhinted.
QFont SlugFont(int pixelSize);

// Adds the slug's lines of `m` to `layout`, which holds the other marks.
void LayOutSlug(const PressMarks& m, PressLayout& layout);

}  // namespace plivora
