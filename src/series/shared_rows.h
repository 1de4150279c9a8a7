// The rows of one view file shared by the readers that take it apart
// differently: the aligned readers of several listings of one file, each
// with its own shift and turn.
//
// A view reader goes top to bottom only, but two listings shifted apart ask
// for rows apart: one may want row 105 while another still needs row 95.
// So the file's reader is asked for every row once, in order, by this band
// alone, and a row is kept until every taker has let go of it. Rows no
// taker can want any more are never read. The band holds the rows between
// the slowest taker and the fastest: for takers read in step (the export
// asks all views for one row before the next), their shifts' spread plus
// the rows a turn needs.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "series/source_image.h"

namespace plivora {

class SharedRows {
 public:
  // Pixels before and after every row, the edge pixel repeated: what the
  // four-tap filter reaches past the edge.
  static constexpr size_t kMargin = 4;

  // Reads through `reader`, which must outlive the band.
  explicit SharedRows(SourceReader& reader);
  // Reads through `reader`, and keeps it.
  explicit SharedRows(std::unique_ptr<SourceReader> reader);

  const SourceImage& image() const { return reader_.image(); }
  bool HasAlpha() const { return !alpha_.empty(); }

  // A new taker, whose first row will be `first`; returns its number. Every
  // taker comes before the first row is read.
  size_t AddTaker(uint32_t first);
  // Row y (below the view's height) for taker `who`: a pointer at its pixel
  // 0, readable kMargin pixels either side, valid until `who` lets go of
  // it. y must not lie above the row `who` let go below (a fault in this
  // program otherwise).
  const uint8_t* Row(size_t who, uint32_t y);
  // For a view with alpha (SourceReader::HasAlpha), row y's alpha as four
  // equal bytes a pixel, laid out and valid as Row's: the alpha can go
  // through the filter the colours go through. 255 throughout otherwise.
  const uint8_t* Alpha(size_t who, uint32_t y) {
    return alpha_.empty() ? opaque_.data() + kMargin * 4 : Row(who, y) + pixelBytes_;
  }
  // Taker `who` needs no row above y any more.
  void LetGo(size_t who, uint32_t y);

  // Rows held now (for the tests and the benchmark).
  size_t Held() const { return rows_.size(); }

 private:
  uint32_t Keep() const;  // the first row some taker may still want
  void ReadNext(uint32_t y);

  std::unique_ptr<SourceReader> owned_;
  SourceReader& reader_;
  size_t pixelBytes_;  // of one row of colours with its margins; the alpha's follow them
  size_t rowBytes_;
  std::vector<uint8_t> alpha_;   // one row of the reader's alpha; empty for a view without
  std::vector<uint8_t> opaque_;  // a row of 255, for a view without alpha
  std::vector<uint32_t> keep_;              // per taker: the first row it may still ask for
  uint32_t next_ = 0;                       // the next row the file's reader will be asked for
  std::deque<std::vector<uint8_t>> rows_;   // rows next_ - rows_.size() .. next_ - 1
  std::vector<std::vector<uint8_t>> spare_; // buffers of rows let go, for reuse
};

}  // namespace plivora
