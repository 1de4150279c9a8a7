// Builds the interlaced image rows of vertical lenses from one source row of
// every view: the column walk, which picks for every column the view and
// source pixel (the column map and its running fraction sums), and a pixel
// rule that says what a picked pixel becomes (pixel_rule.h).
#pragma once

#include <cstdint>
#include <vector>

#include "interlace/export_geometry.h"
#include "interlace/image_composer.h"
#include "interlace/pixel_rule.h"

namespace plivora {

// The instruction sets a composer can run its columns with. Every path
// writes the same bytes; they differ only in speed.
enum class ComposerPath { kScalar, kSse2, kAvx2 };

const char* ComposerPathName(ComposerPath path);  // "scalar", "sse2", "avx2"
// Whether this processor can run `path`.
bool ProcessorRuns(ComposerPath path);
// The path composers take unless told otherwise: the widest this processor
// runs. The environment variable PLIVORA_COMPOSER_PATH (scalar, sse2 or
// avx2), read once per process, forces one, so that tests and measurements
// can run the whole export on each. Raises an error when it names no path;
// a named path this processor cannot run fails when a composer is built.
ComposerPath DefaultComposerPath();

// A "row set" holds one source row of every view, one after the other:
// view v's row starts at ViewOffset(v) and is its own width * 4 bytes long,
// C, M, Y, K per pixel as stored.
//
// The composer owns the running fraction sums of every column, which carry
// from row to row for the whole export: a column that lies f ten-thousandths
// of the way to the next view shows that view on f rows of every 10000,
// spread evenly. Columns are independent of each other, so disjoint column
// ranges may be composed at the same time on different threads.
class RowComposer final : public ImageComposer {
 public:
  // viewWidths[v] is the pixel width of view v (at least minViewWidth).
  // Raises an error when this processor cannot run `path`.
  RowComposer(const ExportGeometry& g, const ColumnViewMap& map, const std::vector<uint32_t>& viewWidths,
              PixelRule rule, ComposerPath path = DefaultComposerPath());

  // The size of a row set of views of these widths. Raises "The views are
  // too wide to export together" when it passes 4 GiB, the reach of the
  // composer's 32-bit offsets; the export asks before it creates its output.
  static size_t RowSetBytesFor(const std::vector<uint32_t>& viewWidths);

  size_t RowSetBytes() const override { return rowSetBytes_; }
  size_t ViewOffset(size_t v) const { return viewOffset_[v]; }
  size_t Width() const override { return fractionSum_.size(); }
  ComposerPath Path() const { return path_; }
  // The image rows of the geometry; row r is made of source row r's set.
  int64_t Rows() const override { return rows_.outputRows; }
  uint32_t RowSetOf(int64_t row) const override { return rows_.SourceRow(row); }
  // Source row `which` of every view, each at its offset.
  void ReadRowSet(uint32_t which, uint8_t* set, const ViewRowReader& read) const override {
    for (size_t v = 0; v < viewOffset_.size(); ++v) read(v, which, set + viewOffset_[v]);
  }

  // Writes columns [begin, end) of the next image row to out (4 bytes a
  // pixel, as the rule makes them; out points at column 0). Every column
  // sees the image rows once each, top to bottom.
  void Compose(const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end);
  void Compose(int64_t, const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end) override {
    Compose(rowSet, out, begin, end);
  }

 private:
  template <class Rule>
  void ComposeWith(const Rule& rule, const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end);

  ComposerPath path_;
  ExportGeometry rows_;  // its rows and their source rows
  PixelRule rule_;
  size_t rowSetBytes_ = 0;
  std::vector<size_t> viewOffset_;
  std::vector<int32_t> fraction_;  // ViewFraction of each column
  std::vector<int32_t> fractionSum_;
  // Offset in the row set of each column's source pixel in its own view
  // ([0]) and in the next column's view ([1]).
  std::vector<uint32_t> pixelAt_[2];
};

}  // namespace plivora
