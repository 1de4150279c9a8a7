// One view of a series made from shared rows: view k of N hands out the
// rows its stack makes for it. The stack (layers, or a picture and its
// depth map) reads its sources once for all N views, in step.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "series/source_image.h"
#include "series/view_error.h"

namespace plivora {

// Stack::ViewRow(k, row, dest) writes view k's row `row` into dest.
template <class Stack>
class MadeView final : public SourceReader {
 public:
  MadeView(std::shared_ptr<Stack> stack, size_t k, const SourceImage& image) : stack_(std::move(stack)), k_(k) {
    image_ = image;
  }
  void ReadRow(uint32_t row, uint8_t* dest) override {
    if (row >= image_.Height) FailView(image_.Path, QStringLiteral("its made views end before row %1").arg(row));
    stack_->ViewRow(k_, row, dest);
  }

 private:
  std::shared_ptr<Stack> stack_;
  size_t k_;
};

}  // namespace plivora
