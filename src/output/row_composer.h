// Builds the interlaced image rows, one at a time, top to bottom.
#pragma once

#include <cstdint>
#include <vector>

#include "output/export_geometry.h"

namespace plivora {

// Owns the running fraction sums of every column, which carry from row to
// row for the whole export: a column that lies f ten-thousandths of the way
// to the next view shows that view on f rows of every 10000, spread evenly.
class RowComposer {
 public:
  RowComposer(const ExportGeometry& g, const ColumnViewMap& map, bool negativeInput);

  // viewRows[v] holds the current source row of view v (at least
  // minViewWidth pixels, C, M, Y, K each). Writes outputWidth pixels of four
  // equal grey bytes to `out`. Call once per image row, in row order.
  void Compose(const std::vector<const uint8_t*>& viewRows, uint8_t* out);

 private:
  const ColumnViewMap& map_;
  const bool negative_;
  std::vector<int32_t> fractionSum_;
  std::vector<size_t> sourceByte_;  // byte offset of each column's source pixel
};

}  // namespace plivora
