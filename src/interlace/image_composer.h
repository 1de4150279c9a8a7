// What the row engine composes a file's image rows with: the composer of
// vertical lenses (row_composer.h) or of horizontal ones
// (horizontal_composer.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace plivora {

// Copies source row `row` of view `view` (numbered as the composer was
// given its views) into `dest`: the view's width, four bytes a pixel.
using ViewRowReader = std::function<void(size_t view, uint32_t row, uint8_t* dest)>;

class ImageComposer {
 public:
  virtual ~ImageComposer() = default;
  // Image rows, and pixels a row.
  virtual int64_t Rows() const = 0;
  virtual size_t Width() const = 0;
  // The bytes of one row set, the source rows one image row is made of.
  virtual size_t RowSetBytes() const = 0;
  // Which row set image row `row` is made of; neighbouring rows with the
  // same set share it, and the sets rows ask for never go back.
  virtual uint32_t RowSetOf(int64_t row) const = 0;
  // Fills `set` (RowSetBytes() bytes) with row set `which`, reading the
  // source rows it is made of through `read`.
  virtual void ReadRowSet(uint32_t which, uint8_t* set, const ViewRowReader& read) const = 0;
  // Writes columns [begin, end) of image row `row` from its row set to out
  // (4 bytes a pixel; out points at column 0). Every column sees the rows
  // once each, top to bottom; disjoint column ranges may run at once.
  virtual void Compose(int64_t row, const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end) = 0;
};

}  // namespace plivora
