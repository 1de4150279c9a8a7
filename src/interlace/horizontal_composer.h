// Builds the image rows of a plate with horizontal lenses: the vertical
// plate of the views turned a quarter turn (export_geometry.h,
// PlateGeometry), composed a file row at a time so that only a few source
// rows are ever held.
//
// File row y is column y of the turned plate: it shows view viewIndex[y],
// or on some columns the next view, as the running fraction sum of that
// column says, the sum running along the row; its source row is the turned
// plate's source column of y. File column x is the turned plate's row x:
// its source column is the turned plate's source row of x.
#pragma once

#include <cstdint>
#include <vector>

#include "interlace/export_geometry.h"
#include "interlace/image_composer.h"
#include "interlace/pixel_rule.h"
#include "interlace/row_composer.h"

namespace plivora {

class HorizontalComposer final : public ImageComposer {
 public:
  // widestView: the widest view's width in pixels, the size of the row
  // set's two slots. Raises an error when this processor cannot run `path`.
  HorizontalComposer(const PlateGeometry& plate, const ColumnViewMap& map, uint32_t widestView, PixelRule rule,
                     ComposerPath path = DefaultComposerPath());

  // What file row `row` is made of: a source row of its view, and of the
  // next view when the row's fraction can pick it (needsNext).
  struct Sources {
    int32_t view = 0, nextView = 0;
    uint32_t sourceRow = 0;
    bool needsNext = false;
  };
  Sources SourcesOf(int64_t row) const;

  // A row set is the view's source row at offset 0 and the next view's at
  // NextSlot(), each up to the widest view's width; every file row has a
  // set of its own.
  size_t NextSlot() const { return slotBytes_; }
  size_t RowSetBytes() const override { return 2 * slotBytes_; }
  int64_t Rows() const override { return int64_t(fraction_.size()); }
  size_t Width() const override { return sourceByte_.size(); }
  uint32_t RowSetOf(int64_t row) const override { return uint32_t(row); }
  // The row's view's source row, and the next view's when it is needed.
  void ReadRowSet(uint32_t which, uint8_t* set, const ViewRowReader& read) const override {
    const Sources s = SourcesOf(which);
    read(size_t(s.view), s.sourceRow, set);
    if (s.needsNext) read(size_t(s.nextView), s.sourceRow, set + NextSlot());
  }
  void Compose(int64_t row, const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end) override;

 private:
  template <class Rule>
  void ComposeWith(const Rule& rule, int32_t fraction, const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end) const;

  ComposerPath path_;
  PixelRule rule_;
  size_t slotBytes_ = 0;
  std::vector<int32_t> view_;      // per file row: viewIndex, and one more entry
  std::vector<int32_t> fraction_;  // per file row
  std::vector<uint32_t> sourceRow_;     // per file row
  std::vector<uint32_t> sourceByte_;    // per file column: its source column * 4
};

}  // namespace plivora
