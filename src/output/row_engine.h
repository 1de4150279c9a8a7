// The row loop every interlaced file shares: the export, the pitch test
// sheets. Rows arrive top to bottom with no gaps; each is composed from one
// row set (one source row of every view) and written to the output file in
// batches, so memory is bounded by a batch (about 1 MB), never by the
// output's height.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/numbers.h"
#include "output/export.h"
#include "output/export_geometry.h"

namespace plivora {

class OutputFile;
class RowComposer;

// Reports a percentage only when it changes; cheap when nobody listens.
class ProgressReporter {
 public:
  explicit ProgressReporter(const ProgressFn& fn) : fn_(fn) {}
  void Set(int percent) {
    if (percent == last_ || !fn_) return;
    last_ = percent;
    fn_(percent);
  }
  void Set(Real percent) { Set(int(Round(percent))); }

 private:
  const ProgressFn& fn_;
  int last_ = -1;
};

// Fills `set` (composer.RowSetBytes() bytes) with source row `row` of every
// view, at the composer's view offsets. Called with rows that never go back
// up; a row may be asked for again.
using RowSetReader = std::function<void(uint32_t row, uint8_t* set)>;

// Where a composed row lands in the file's row: composer column c becomes
// file column shift + c; file columns before the shift and after the
// composed ones are white (0), and composed columns at or past fileWidth
// are cut off.
struct RowPlacement {
  size_t shift = 0;
  size_t fileWidth = 0;
};

// Writes the g.outputRows image rows of `composer`, the source rows coming
// from `read`. `rowsDone` is told after every batch how many rows are
// written.
void WriteInterlacedRows(const ExportGeometry& g, const RowSetReader& read, RowComposer& composer, OutputFile& out,
                         const RowPlacement& placement, const std::function<void(int64_t rowsDone)>& rowsDone);

// Writes rows of one byte a pixel (0 or 255, as the shrunk drawings give
// them) in the file's form, v, v, v, 0 for each, a piece at a time, so that
// they are never held at four bytes a pixel.
void WriteLevelRows(const std::vector<uint8_t>& levels, OutputFile& out);

}  // namespace plivora
