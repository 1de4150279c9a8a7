#include "proof/proof_renderer.h"

#include <algorithm>

#include "common/error.h"

namespace plivora {

namespace {

// The proof is held whole: at most this many samples (64 MiB), a 54 x 54
// inch print at 75 LPI (larger prints take coarser lenses).
constexpr uint64_t kMaxSamples = uint64_t(16) << 20;
// Along the lenses a plate may be coarser than the lens pitch (a high
// compress factor), its pixels repeated; not beyond this.
constexpr Real kMaxRepeat = 256;

struct Axes {
  uint32_t acrossPixels, alongPixels;
  Real acrossDpi, alongDpi;
};

Axes AxesOf(const PlateFrame& frame, LensDirection direction) {
  if (direction == LensDirection::kVertical) return {frame.width, frame.height, frame.xDpi, frame.yDpi};
  return {frame.height, frame.width, frame.yDpi, frame.xDpi};
}

Real InchesOf(uint32_t pixels, Real dpi) { return Divide(Real(pixels), dpi); }

// Samples along the lenses at the lens pitch, so that the proof keeps the
// plate's proportions: fewer than the plate's pixels, or more (a plate
// compressed below the lens pitch), at least one.
int64_t AlongCount(const Axes& axes, const LensModel& lens) {
  return std::max<int64_t>(1, Round(InchesOf(axes.alongPixels, axes.alongDpi) * lens.lpi));
}

[[noreturn]] void OutOfOrder(uint32_t row) {
  Fail(QStringLiteral("The proof was given plate row %1 out of order (a fault in this program)").arg(row));
}

}  // namespace

AlongSamples AlongSamplesOf(const PlateFrame& frame, const LensModel& lens) {
  const Axes axes = AxesOf(frame, lens.direction);
  const auto count = uint32_t(AlongCount(axes, lens));
  AlongSamples bins;
  bins.start.resize(count);
  bins.end.resize(count);
  for (uint32_t j = 0; j < count; ++j) {
    bins.start[j] = uint32_t(uint64_t(j) * axes.alongPixels / count);
    bins.end[j] = std::max(uint32_t(uint64_t(j + 1) * axes.alongPixels / count), bins.start[j] + 1);
  }
  return bins;
}

QString LensProblem(const PlateFrame& frame, const LensModel& lens) {
  const Axes axes = AxesOf(frame, lens.direction);
  if (axes.acrossPixels == 0 || axes.alongPixels == 0) return QStringLiteral("the plate has no pixels");
  const Real perLens = Divide(axes.acrossDpi, lens.lpi);
  if (perLens < kMinPixelsPerLens)
    return QStringLiteral("at %1 LPI a lens covers %2 pixels of the plate (%3 dpi across the lenses); a proof needs at least %4")
        .arg(FormatGeneral15(lens.lpi), QString::number(double(perLens), 'g', 3), FormatGeneral15(axes.acrossDpi))
        .arg(int(kMinPixelsPerLens));
  if (axes.alongDpi * kMaxRepeat < lens.lpi)
    return QStringLiteral("its resolution along the lenses (%1 dpi) is far below the lens pitch (%2 LPI)")
        .arg(FormatGeneral15(axes.alongDpi), FormatGeneral15(lens.lpi));
  const Real acrossInches = InchesOf(axes.acrossPixels, axes.acrossDpi);
  const int64_t lenses = Round(acrossInches * lens.lpi);
  if (lenses < 1)
    return QStringLiteral("the plate is narrower than one lens at %1 LPI (%2 inches across the lenses)")
        .arg(FormatGeneral15(lens.lpi), FormatGeneral15(acrossInches));
  if (uint64_t(lenses) * uint64_t(AlongCount(axes, lens)) > kMaxSamples)
    return QStringLiteral("its proof would be %1 x %2 samples, more than a proof holds")
        .arg(lenses).arg(AlongCount(axes, lens));
  return QString();
}

ProofRenderer::ProofRenderer(const PlateFrame& frame, const LensModel& lens, const Viewpoint& eye) {
  CheckLensModel(lens);
  if (const QString problem = LensProblem(frame, lens); !problem.isEmpty()) Fail(QStringLiteral("No proof: %1").arg(problem));
  Place(frame, lens, eye);
}

// Where each lens looks, and the picture's size; paper where a lens looks
// past the plate's edge.
void ProofRenderer::Place(const PlateFrame& frame, const LensModel& lens, const Viewpoint& eye) {
  vertical_ = lens.direction == LensDirection::kVertical;
  plateWidth_ = frame.width;
  plateHeight_ = frame.height;
  const Axes axes = AxesOf(frame, lens.direction);
  const Real acrossInches = InchesOf(axes.acrossPixels, axes.acrossDpi);
  lenses_ = uint32_t(Round(acrossInches * lens.lpi));
  bins_ = AlongSamplesOf(frame, lens);
  along_ = bins_.count();
  const Real pitch = lens.Pitch();
  const Real middle = acrossInches / 2;
  sample_.resize(lenses_);
  for (uint32_t i = 0; i < lenses_; ++i) {
    const Real centre = (Real(i) + 0.5L) * pitch;
    const Real seen = centre + SeenOffset(lens, eye.AngleAt(centre - middle));
    const Real pixel = seen * axes.acrossDpi;
    sample_[i] = pixel >= 0 && pixel < Real(axes.acrossPixels) ? Trunc(pixel) : kPaper;
  }
  picture_.model = frame.model;
  picture_.width = vertical_ ? lenses_ : along_;
  picture_.height = vertical_ ? along_ : lenses_;
  picture_.pixels.assign(size_t(picture_.width) * picture_.height * 4, 0);
  if (vertical_) {
    sums_.assign(size_t(lenses_) * 4, 0);
    return;
  }
  for (uint32_t i = 0; i < lenses_; ++i) {
    if (sample_[i] == kPaper) {
      for (uint32_t x = 0; x < along_; ++x) Paper(&picture_.pixels[(size_t(i) * along_ + x) * 4]);
      continue;
    }
    wanted_.emplace_back(uint32_t(sample_[i]), i);
  }
  std::sort(wanted_.begin(), wanted_.end());
}

bool ProofRenderer::Wants(uint32_t row) const {
  if (vertical_) return row < plateHeight_;
  return std::binary_search(wanted_.begin(), wanted_.end(), std::pair<uint32_t, uint32_t>(row, 0),
                            [](const auto& a, const auto& b) { return a.first < b.first; });
}

void ProofRenderer::TakeRow(uint32_t row, const uint8_t* pixels) {
  if (int64_t(row) <= lastRow_ || row >= plateHeight_) OutOfOrder(row);
  if (vertical_) {
    if (int64_t(row) != lastRow_ + 1) OutOfOrder(row);  // every row counts
    lastRow_ = row;
    return TakeAcross(row, pixels);
  }
  lastRow_ = row;
  if (next_ < wanted_.size() && wanted_[next_].first < row) OutOfOrder(wanted_[next_].first);
  for (; next_ < wanted_.size() && wanted_[next_].first == row; ++next_) TakeAlong(wanted_[next_].second, pixels);
}

// Vertical lenses: each plate row adds the pixel every lens shows to the sums
// of the proof row it belongs to, which is averaged at its last plate row
// (and a row that several proof rows repeat goes to each in turn).
void ProofRenderer::TakeAcross(uint32_t row, const uint8_t* pixels) {
  while (bin_ < along_ && bins_.start[bin_] <= row) {
    for (uint32_t i = 0; i < lenses_; ++i) {
      if (sample_[i] == kPaper) continue;
      const uint8_t* p = pixels + size_t(sample_[i]) * 4;
      uint64_t* s = &sums_[size_t(i) * 4];
      s[0] += p[0];
      s[1] += p[1];
      s[2] += p[2];
      s[3] += p[3];
    }
    if (row + 1 != bins_.end[bin_]) break;
    FlushBin();
  }
}

void ProofRenderer::FlushBin() {
  const uint64_t rows = bins_.end[bin_] - bins_.start[bin_];
  uint8_t* out = &picture_.pixels[size_t(bin_) * lenses_ * 4];
  for (uint32_t i = 0; i < lenses_; ++i, out += 4) {
    if (sample_[i] == kPaper) {
      Paper(out);
      continue;
    }
    for (size_t c = 0; c < 4; ++c) out[c] = uint8_t(RoundedQuotient(sums_[size_t(i) * 4 + c], rows));
  }
  std::fill(sums_.begin(), sums_.end(), 0);
  ++bin_;
}

// Horizontal lenses: lens `lens` shows this one plate row, its columns
// averaged along the lens.
void ProofRenderer::TakeAlong(uint32_t lens, const uint8_t* pixels) {
  uint8_t* out = &picture_.pixels[size_t(lens) * along_ * 4];
  for (uint32_t j = 0; j < along_; ++j, out += 4) {
    uint64_t sums[4] = {0, 0, 0, 0};
    for (uint32_t x = bins_.start[j]; x < bins_.end[j]; ++x)
      for (size_t c = 0; c < 4; ++c) sums[c] += pixels[size_t(x) * 4 + c];
    const uint64_t columns = bins_.end[j] - bins_.start[j];
    for (size_t c = 0; c < 4; ++c) out[c] = uint8_t(RoundedQuotient(sums[c], columns));
  }
}

// Paper: no ink, or white.
void ProofRenderer::Paper(uint8_t* pixel) const {
  const uint8_t v = picture_.model == ColourModel::kCmyk ? 0 : 255;
  pixel[0] = pixel[1] = pixel[2] = v;
  pixel[3] = 0;
}

ProofPicture ProofRenderer::Finish() {
  const bool complete = vertical_ ? bin_ == along_ : next_ == wanted_.size();
  if (!complete)
    Fail(QStringLiteral("The proof was not given plate row %1 (a fault in this program)")
             .arg(vertical_ ? lastRow_ + 1 : int64_t(wanted_[next_].first)));
  return std::move(picture_);
}

ProofPicture RenderProof(const PlateFrame& frame, PlateRows& rows, const LensModel& lens, const Viewpoint& eye,
                         const std::function<void(Real)>& progress) {
  ProofRenderer renderer(frame, lens, eye);
  std::vector<uint8_t> row(size_t(frame.width) * 4);
  for (uint32_t y = 0; y < frame.height; ++y) {
    if (!renderer.Wants(y)) continue;
    rows.ReadRow(y, row.data());
    renderer.TakeRow(y, row.data());
    if (progress) progress(Real(y + 1) / Real(frame.height));
  }
  return renderer.Finish();
}

}  // namespace plivora
