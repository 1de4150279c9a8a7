// What an eye sees of a plate through a modelled lens sheet (lens_model.h):
// one sample a lens across the lenses, the point of the plate that lens
// shows the eye, and along the lenses the plate's own pixels, averaged into
// as many samples as keep the plate's proportions (the lens pitch along them
// too; a plate compressed below it has its pixels repeated). Samples that
// fall off the plate show paper.
//
// The renderer streams: it takes the plate's rows top to bottom, each once,
// and holds only its own picture and, for vertical lenses, one row of sums;
// a plate of any height takes the same memory. The rows may come from a
// file (RenderProof) or from anything that makes a plate row by row.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "proof/lens_model.h"
#include "proof/plate_reader.h"

namespace plivora {

// A proof in the plate's colour model (colour_model.h: four bytes a pixel),
// rows top to bottom: the plate as seen, at one sample a lens.
struct ProofPicture {
  uint32_t width = 0, height = 0;
  ColourModel model = ColourModel::kCmyk;
  std::vector<uint8_t> pixels;  // width x height x 4
};

// Plate pixels a lens must cover at least for its views to be told apart.
inline constexpr Real kMinPixelsPerLens = 2;

// Why `lens` cannot be seen on a plate of `frame` ("at 75 LPI a lens covers
// 1.33 pixels of the plate (100 dpi across the lenses); a proof needs at
// least 2", "the plate is narrower than one lens at 75 LPI"), or "".
QString LensProblem(const PlateFrame& frame, const LensModel& lens);

// The proof's samples along the lenses of a plate of `frame`, seen through
// lenses of `lens`'s pitch and direction: as many as keep the plate's
// proportions at the lens pitch (at least one), sample j the mean of the
// plate's pixels [start[j], end[j]) along the lenses, shared out in order
// (a pixel repeated where the plate has fewer pixels than samples).
struct AlongSamples {
  std::vector<uint32_t> start, end;
  uint32_t count() const { return uint32_t(start.size()); }
};
AlongSamples AlongSamplesOf(const PlateFrame& frame, const LensModel& lens);

class ProofRenderer {
 public:
  // Raises Error with LensProblem's reason, or the lens model's, when the
  // proof can't be made.
  ProofRenderer(const PlateFrame& frame, const LensModel& lens, const Viewpoint& eye);

  uint32_t width() const { return picture_.width; }
  uint32_t height() const { return picture_.height; }
  // Whether row `row` of the plate is looked at. Every row is, under
  // vertical lenses; under horizontal ones only the row each lens shows.
  bool Wants(uint32_t row) const;
  // Takes plate row `row` (width x 4 bytes in the frame's model; the caller
  // keeps the buffer). Rows come in increasing order; rows not wanted may
  // be given or skipped.
  void TakeRow(uint32_t row, const uint8_t* pixels);
  // The proof, once every wanted row was taken; raises Error otherwise.
  ProofPicture Finish();

 private:
  void Place(const PlateFrame& frame, const LensModel& lens, const Viewpoint& eye);
  void TakeAcross(uint32_t row, const uint8_t* pixels);
  void FlushBin();
  void TakeAlong(uint32_t lens, const uint8_t* pixels);
  void Paper(uint8_t* pixel) const;

  bool vertical_ = true;
  uint32_t plateWidth_ = 0, plateHeight_ = 0;
  uint32_t lenses_ = 0, along_ = 0;  // samples across and along the lenses
  // The plate pixel each lens shows, across the lenses; kPaper off the plate.
  static constexpr int64_t kPaper = -1;
  std::vector<int64_t> sample_;
  // The plate pixels along the lenses that make sample j: [start, end).
  AlongSamples bins_;
  // Vertical lenses: the proof row being summed, and its sums a lens.
  uint32_t bin_ = 0;
  std::vector<uint64_t> sums_;
  // Horizontal lenses: (plate row, lens), by row.
  std::vector<std::pair<uint32_t, uint32_t>> wanted_;
  size_t next_ = 0;
  int64_t lastRow_ = -1;
  ProofPicture picture_;
};

// Reads `rows` top to bottom, the rows the renderer wants, into a proof.
// `progress` (may be empty) takes how much of the plate is read, 0 to 1.
ProofPicture RenderProof(const PlateFrame& frame, PlateRows& rows, const LensModel& lens, const Viewpoint& eye,
                         const std::function<void(Real)>& progress = {});

}  // namespace plivora
