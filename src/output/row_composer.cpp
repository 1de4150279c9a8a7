#include "output/row_composer.h"

#include <cstring>

#include "output/pixel_rule.h"

namespace plivora {

RowComposer::RowComposer(const ExportGeometry& g, const ColumnViewMap& map, bool negativeInput)
    : map_(map), negative_(negativeInput), fractionSum_(size_t(g.outputWidth), 0), sourceByte_(size_t(g.outputWidth)) {
  for (size_t i = 0; i < sourceByte_.size(); ++i) sourceByte_[i] = size_t(g.SourceColumn(int64_t(i))) * 4;
}

void RowComposer::Compose(const std::vector<const uint8_t*>& viewRows, uint8_t* out) {
  const int32_t* viewIndex = map_.viewIndex.data();
  const int32_t* fraction = map_.viewFraction.data();
  int32_t* sum = fractionSum_.data();
  const size_t width = fractionSum_.size();
  for (size_t i = 0; i < width; ++i) {
    int32_t s = sum[i] + fraction[i];
    int32_t view = viewIndex[i];
    if (s > 9999) {  // the next column's view takes this row
      view = viewIndex[i + 1];
      s -= 10000;
    }
    sum[i] = s;
    const uint8_t* px = viewRows[size_t(view)] + sourceByte_[i];
    uint8_t grey = Grey(px[0], px[1], px[2], px[3]);
    if (negative_) grey = uint8_t(255 - grey);
    std::memset(out + 4 * i, grey, 4);
  }
}

}  // namespace plivora
