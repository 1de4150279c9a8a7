#include "proof/sampled_plate.h"

#include <algorithm>

#include "common/error.h"

namespace plivora {

namespace {

[[noreturn]] void Fault(const QString& what) { Fail(QStringLiteral("%1 (a fault in this program)").arg(what)); }

}  // namespace

SampledPlate::SampledPlate(const PlateFrame& frame, const LensModel& lens)
    : frame_(frame), lens_(lens), vertical_(lens.direction == LensDirection::kVertical) {
  const ProofRenderer placed(frame, lens, Viewpoint{});  // the proof's own refusals
  bins_ = AlongSamplesOf(frame, lens);
  sampled_ = frame;
  if (vertical_) {
    sampled_.height = bins_.count();
    sampled_.yDpi = lens.lpi;
  } else {
    sampled_.width = bins_.count();
    sampled_.xDpi = lens.lpi;
  }
  const uint64_t bytes = uint64_t(sampled_.width) * sampled_.height * 4;
  if (bytes > kMaxSampledPlateBytes)
    Fail(QStringLiteral("The plate is too large to keep for the lens view: %1 x %2 samples (%3 MB), more than %4 MB")
             .arg(sampled_.width)
             .arg(sampled_.height)
             .arg(bytes >> 20)
             .arg(kMaxSampledPlateBytes >> 20));
  pixels_.assign(size_t(bytes), 0);
  if (vertical_) sums_.assign(size_t(frame.width) * 4, 0);
}

void SampledPlate::TakeRow(uint32_t row, const uint8_t* pixels) {
  if (row != taken_ || row >= frame_.height) Fault(QStringLiteral("The lens view was given plate row %1 out of order").arg(row));
  ++taken_;
  const size_t width = size_t(frame_.width) * 4;
  if (vertical_) {
    // Each plate row adds to the sums of the sample row it belongs to, which
    // is averaged at its last plate row; a row several samples repeat goes
    // to each in turn.
    while (bin_ < bins_.count() && bins_.start[bin_] <= row) {
      for (size_t c = 0; c < width; ++c) sums_[c] += pixels[c];
      if (row + 1 != bins_.end[bin_]) break;
      FlushBin();
    }
    return;
  }
  // Horizontal lenses: the row's columns averaged along the lens.
  uint8_t* out = &pixels_[size_t(row) * sampled_.width * 4];
  for (uint32_t j = 0; j < bins_.count(); ++j, out += 4) {
    uint64_t sums[4] = {0, 0, 0, 0};
    for (uint32_t x = bins_.start[j]; x < bins_.end[j]; ++x)
      for (size_t c = 0; c < 4; ++c) sums[c] += pixels[size_t(x) * 4 + c];
    const uint64_t columns = bins_.end[j] - bins_.start[j];
    for (size_t c = 0; c < 4; ++c) out[c] = uint8_t(RoundedQuotient(sums[c], columns));
  }
}

void SampledPlate::FlushBin() {
  const uint64_t rows = bins_.end[bin_] - bins_.start[bin_];
  uint8_t* out = &pixels_[size_t(bin_) * sampled_.width * 4];
  for (size_t c = 0; c < sums_.size(); ++c) out[c] = uint8_t(RoundedQuotient(sums_[c], rows));
  std::fill(sums_.begin(), sums_.end(), 0);
  ++bin_;
}

ProofPicture SampledPlate::Proof(const LensModel& lens, const Viewpoint& eye) const {
  if (!Complete()) Fault(QStringLiteral("The lens view's plate lacks row %1").arg(taken_));
  if (lens.lpi != lens_.lpi || lens.direction != lens_.direction)
    Fault(QStringLiteral("The lens view's plate was sampled for another lens"));
  // Each sample is one pixel of the sampled plate, so the renderer's means
  // are the sampled plate's own values.
  ProofRenderer renderer(sampled_, lens, eye);
  const size_t stride = size_t(sampled_.width) * 4;
  for (uint32_t y = 0; y < sampled_.height; ++y)
    if (renderer.Wants(y)) renderer.TakeRow(y, &pixels_[y * stride]);
  return renderer.Finish();
}

}  // namespace plivora
