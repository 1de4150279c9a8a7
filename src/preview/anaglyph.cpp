#include "preview/anaglyph.h"

#include "common/error.h"
#include "common/numbers.h"
#include "preview/colour_rules.h"
#include "preview/frames.h"

namespace plivora {

std::optional<AnaglyphViews> ChooseAnaglyphViews(int64_t n) {
  if (n < 2) return std::nullopt;
  const int64_t m = Trunc(Real(n) / 2);
  const int64_t d = Round(Real(n) / 6);
  return AnaglyphViews{m - 1 - d, m + d};
}

void ComposeAnaglyph(QImage& pa, QImage pb) {
  if (pa.size() != pb.size()) Fail(QStringLiteral("Cannot compose the anaglyph: its two pictures differ in size (a fault in this program)"));
  ToGray(pa);
  ToGray(pb);
  for (int y = 0; y < pa.height(); ++y) {
    uint8_t* out = pa.scanLine(y);
    const uint8_t* red = pb.constScanLine(y);
    for (int x = 0; x < pa.width(); ++x) out[size_t(x) * 3] = red[size_t(x) * 3];
  }
}

QImage BuildAnaglyph(const QString& pathA, const QString& pathB, bool negativeInput, const std::optional<AlignedRead>& alignedA,
                     const std::optional<AlignedRead>& alignedB) {
  FrameScale scale;
  QImage pa = BuildFrame(pathA, negativeInput, scale, alignedA);
  QImage pb = BuildFrame(pathB, negativeInput, scale, alignedB);
  ComposeAnaglyph(pa, std::move(pb));
  return pa;
}

}  // namespace plivora
