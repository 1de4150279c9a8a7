// The red/cyan anaglyph: two views from either side of the middle of the
// series, red from the later one in grey, green and blue from the earlier.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

#include "preview/frames.h"

namespace plivora {

// 0-based list indices of the two views, a < b.
struct AnaglyphViews {
  int64_t a = 0;
  int64_t b = 0;
};

// For a series of n views: m = trunc(n / 2), d = round(n / 6) with ties to
// even, a = m - 1 - d, b = m + d; 2d + 1 places apart. Nothing for fewer than
// two views, where a would fall before the first.
std::optional<AnaglyphViews> ChooseAnaglyphViews(int64_t n);

// Both pictures (kPictureFormat, same size) turned grey, then red of `pa`
// replaced by red of `pb`: red = grey of b, green = blue = grey of a.
void ComposeAnaglyph(QImage& pa, QImage pb);

// Loads views a and b, reduces both at the scale and frame size view a sets
// (as the animated preview does for its first view) and composes them.
// An aligned series' views are read as `alignedA` and `alignedB` say.
QImage BuildAnaglyph(const QString& pathA, const QString& pathB, bool negativeInput,
                     const std::optional<AlignedRead>& alignedA = std::nullopt,
                     const std::optional<AlignedRead>& alignedB = std::nullopt);

}  // namespace plivora
