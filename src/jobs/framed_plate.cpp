#include "jobs/framed_plate.h"

#include <vector>

#include "jobs/press_frame.h"

namespace plivora {

namespace {

class Framed final : public PlateWriter {
 public:
  Framed(std::unique_ptr<PlateWriter> plate, const PressMarks& frame, PlateColour colour)
      : plate_(std::move(plate)), frame_(frame), margins_(frame, colour), row_(size_t(frame.width) * 4) {
    margins_.DrawSides();
    margins_.DrawRows(0, int(frame.imageTop), [this](const uint8_t* row) { plate_->Append(row, 1, row_.size()); });
  }
  void Append(const uint8_t* rows, size_t count, size_t stride) override {
    for (size_t r = 0; r < count; ++r) {
      margins_.AssembleRow(imageRow_++, rows + r * stride, row_.data());
      plate_->Append(row_.data(), 1, row_.size());
    }
  }
  void Finish() override {
    margins_.DrawRows(frame_.imageBottom, int(frame_.rows - frame_.imageBottom),
                      [this](const uint8_t* row) { plate_->Append(row, 1, row_.size()); });
    plate_->Finish();
  }
  OutputFile& file() override { return plate_->file(); }

 private:
  std::unique_ptr<PlateWriter> plate_;
  const PressMarks& frame_;
  PressFrameRows margins_;
  std::vector<uint8_t> row_;
  int64_t imageRow_ = 0;
};

}  // namespace

std::unique_ptr<PlateWriter> FramedPlate(std::unique_ptr<PlateWriter> plate, const PressMarks& frame, PlateColour colour) {
  return std::make_unique<Framed>(std::move(plate), frame, colour);
}

}  // namespace plivora
