// A plate averaged along the lenses into a proof's samples, and kept whole
// across them: all that a proof of the plate through lenses of one pitch and
// direction needs, whatever the eye. The window's lens view holds one, so
// that another angle or distance is shown without making the plate again.
//
// It takes the plate's rows as ProofRenderer does, top to bottom, every one,
// and holds (the plate's pixels across the lenses) x (the proof's samples
// along them) x 4 bytes, and for vertical lenses one row of sums; never the
// plate itself.
#pragma once

#include <cstdint>
#include <vector>

#include "proof/proof_renderer.h"

namespace plivora {

// The most a sampled plate holds (512 MiB): a 10 x 15 inch plate at 4000
// dpi under 75 LPI lenses takes 181 MB.
inline constexpr uint64_t kMaxSampledPlateBytes = uint64_t(512) << 20;

class SampledPlate {
 public:
  // Raises what ProofRenderer raises for `frame` and `lens` ("No proof:
  // ..."), and "The plate is too large to keep for the lens view ..." past
  // kMaxSampledPlateBytes.
  SampledPlate(const PlateFrame& frame, const LensModel& lens);

  // Plate row `row` (width x 4 bytes in the frame's model; the caller keeps
  // the buffer). Every row, in increasing order.
  void TakeRow(uint32_t row, const uint8_t* pixels);
  bool Complete() const { return taken_ == frame_.height; }

  // The proof of the plate through `lens` (of the pitch and direction the
  // plate was sampled for, any thickness and index) for `eye`: the pixels
  // ProofRenderer makes of the plate's own rows. Raises when a row is
  // missing or the lens is another.
  ProofPicture Proof(const LensModel& lens, const Viewpoint& eye) const;

  const PlateFrame& frame() const { return frame_; }  // the plate's

 private:
  void FlushBin();

  PlateFrame frame_;
  // The samples as a plate: as wide as the plate across the lenses, one
  // pixel a lens pitch along them, at the LPI as its resolution.
  PlateFrame sampled_;
  LensModel lens_;
  bool vertical_ = true;
  AlongSamples bins_;
  std::vector<uint8_t> pixels_;  // sampled_, rows top to bottom
  std::vector<uint64_t> sums_;   // vertical lenses: the sample row being summed, by plate column
  uint32_t bin_ = 0;
  uint32_t taken_ = 0;  // plate rows taken
};

}  // namespace plivora
