#include "series/aligned_source.h"

#include <algorithm>
#include <cstring>

#include "common/error.h"

namespace plivora {

namespace {

[[noreturn]] void Fault(const QString& path, const QString& what) {
  Fail(QStringLiteral("Cannot align view \"%1\": %2 (a fault in this program)").arg(path, what));
}

// How a view's pixels reach the aligned rows: copied, filtered along its
// rows only (no turn, whole vertical shift), down its columns only (no
// turn, whole horizontal shift), or both.
enum class Mode { kCopy, kAlong, kDown, kBoth };

// Columns [begin, end) whose taps lie in the band rows Y + shift - 1 ..
// Y + shift + 2 for aligned row Y.
struct DownRun {
  size_t begin, end;
  int64_t shift;
};

class AlignedSource final : public SourceReader {
 public:
  AlignedSource(std::shared_ptr<SharedRows> rows, const ViewTransform& t, const CommonArea& area, FilterPath path,
                bool keepRow);
  void ReadRow(uint32_t row, uint8_t* dest) override;

 private:
  void PlanDown(uint32_t row);
  void Band(uint32_t row, uint8_t* dest);
  const uint8_t* BandRow(int64_t y);
  void FillAlong(const uint8_t* source, Real start, uint8_t* out) const;

  std::shared_ptr<SharedRows> rows_;
  size_t who_ = 0;
  Mode mode_ = Mode::kBoth;
  FilterPath path_;
  size_t width_ = 0;  // of the area
  int64_t lastPixel_ = 0, lastRow_ = 0;  // of the view
  int64_t rowOffset_ = 0, columnOffset_ = 0;  // whole shifts: view row and column of the area's pixel (0, 0)
  // Along the rows: column X of view row y comes from view column
  // alongA + alongB (y - cy) + X / cos.
  Real alongA_ = 0, alongB_ = 0, cy_ = 0;
  FixedPosition alongStep_ = 0;
  // Down the columns: area pixel (X, Y) comes from view row
  // Y + downA + Y (cos - 1) + X sin; the part that is not Y is taken to the
  // filter's 1/256 of a pixel once a row (`down_`, in 1/256), so that each
  // column's tap and phase change only when it does.
  Real downA_ = 0, downDrift_ = 0;
  FixedPosition downStep_ = 0;
  int64_t down_ = INT64_MIN;
  std::vector<uint8_t> phases_;  // per column, for down_
  std::vector<DownRun> runs_;
  int64_t lowShift_ = 0, highShift_ = 0;
  std::vector<std::vector<uint8_t>> band_;  // view row y filtered along, in band_[y & bandMask_]
  size_t bandMask_ = 0;
  int64_t bandNext_ = 0;                    // the next view row to filter along
  // The last aligned row, kept when several listings read this reader
  // (each asks for every row); the others ask for a row again seldom, and
  // have it made again.
  bool keepRow_;
  std::vector<uint8_t> row_;
  int64_t kept_ = -1;   // the row in row_
  int64_t asked_ = -1;  // the last row asked for
};

Mode ModeOf(const ViewTransform& t) {
  if (t.WholePixels()) return Mode::kCopy;
  const auto whole = [](Real v) { return Real(Trunc(v)) == v; };
  if (t.turn == 0 && whole(t.dy)) return Mode::kAlong;
  if (t.turn == 0 && whole(t.dx)) return Mode::kDown;
  return Mode::kBoth;
}

AlignedSource::AlignedSource(std::shared_ptr<SharedRows> rows, const ViewTransform& t, const CommonArea& area,
                             FilterPath path, bool keepRow)
    : rows_(std::move(rows)), mode_(ModeOf(t)), path_(path), keepRow_(keepRow) {
  image_ = rows_->image();
  const uint32_t width = image_.Width, height = image_.Height;
  CheckViewTransform(image_.Path, t);
  image_.Width = area.width;
  image_.Height = area.height;
  width_ = area.width;
  if (width_ == 0 || area.height == 0) Fault(image_.Path, QStringLiteral("the area is empty"));
  lastPixel_ = int64_t(width) - 1;
  lastRow_ = int64_t(height) - 1;
  const ViewPlacement place(width, height, t);
  const Real c = place.cosine(), s = place.sine(), cx = Real(width - 1) / 2;
  cy_ = Real(height - 1) / 2;
  const Real left = Real(area.left) - cx - t.dx;
  alongA_ = left / c + cx;
  alongB_ = -(s / c);
  alongStep_ = ToFixed(1 / c);
  downA_ = s * left + c * (Real(area.top) - cy_ - t.dy) + cy_;
  downDrift_ = c - 1;
  downStep_ = ToFixed(s);
  if (mode_ != Mode::kBoth) {
    // No turn: whole shifts give the view's row and column outright, and
    // they must lie inside the view.
    rowOffset_ = area.top - (mode_ == Mode::kDown ? 0 : Trunc(t.dy));
    columnOffset_ = area.left - (mode_ == Mode::kAlong ? 0 : Trunc(t.dx));
    if ((mode_ != Mode::kDown && (rowOffset_ < 0 || rowOffset_ + int64_t(area.height) > int64_t(height))) ||
        (mode_ != Mode::kAlong && (columnOffset_ < 0 || columnOffset_ + int64_t(area.width) > int64_t(width))))
      Fault(image_.Path, QStringLiteral("the area lies outside the view"));
  }
  int64_t first = rowOffset_;
  if (mode_ == Mode::kDown || mode_ == Mode::kBoth) {
    // The band: every view row one aligned row reaches, plus the taps.
    const FixedPosition reach = (downStep_ < 0 ? -downStep_ : downStep_) * FixedPosition(width_);
    size_t size = 8;
    while (size < size_t((reach >> 32) + 6)) size *= 2;
    band_.resize(size);
    bandMask_ = size - 1;
    if (mode_ == Mode::kBoth)
      for (auto& r : band_) r.resize(size_t(area.width) * 4);
    phases_.resize(area.width);
    PlanDown(0);
    first = std::clamp<int64_t>(lowShift_ - 1, 0, lastRow_);
    bandNext_ = first;
  }
  if (keepRow_) row_.resize(size_t(area.width) * 4);
  who_ = rows_->AddTaker(uint32_t(first));
}

// Each column's band row and phase for aligned row `row`, and the runs of
// columns that share their rows; remade only when the row's 1/256 changes.
void AlignedSource::PlanDown(uint32_t row) {
  const int64_t down = Round((downA_ + Real(row) * downDrift_) * (1 << kPhaseBits));
  if (down == down_) return;
  down_ = down;
  const FixedPosition start = FixedPosition(down) << (32 - kPhaseBits);
  runs_.clear();
  lowShift_ = INT64_MAX;
  highShift_ = INT64_MIN;
  for (size_t x = 0; x < width_; ++x) {
    const FixedPosition p = start + FixedPosition(x) * downStep_;
    const int64_t shift = TapIndex(p);
    phases_[x] = uint8_t(PhaseOf(p));
    if (x > 0 && runs_.back().shift == shift) {
      runs_.back().end = x + 1;
    } else {
      runs_.push_back({x, x + 1, shift});
      lowShift_ = std::min(lowShift_, shift);
      highShift_ = std::max(highShift_, shift);
    }
  }
}

void AlignedSource::FillAlong(const uint8_t* source, Real start, uint8_t* out) const {
  FilterAlong(source, lastPixel_, ToFixed(start), alongStep_, 0, width_, out, path_);
}

const uint8_t* AlignedSource::BandRow(int64_t y) {
  y = std::clamp<int64_t>(y, 0, lastRow_);
  if (mode_ == Mode::kDown) return rows_->Row(who_, uint32_t(y)) + columnOffset_ * 4;
  return band_[size_t(y) & bandMask_].data();
}

// Makes sure the band holds every view row aligned row `row` reaches, then
// filters down the columns into dest.
void AlignedSource::Band(uint32_t row, uint8_t* dest) {
  PlanDown(row);
  const int64_t lo = std::clamp<int64_t>(int64_t(row) + lowShift_ - 1, 0, lastRow_);
  const int64_t hi = std::clamp<int64_t>(int64_t(row) + highShift_ + 2, 0, lastRow_);
  if (hi - lo >= int64_t(band_.size())) Fault(image_.Path, QStringLiteral("its band of rows is too small"));
  if (mode_ == Mode::kDown) {
    rows_->LetGo(who_, uint32_t(lo));
  } else {
    if (bandNext_ < lo) rows_->LetGo(who_, uint32_t(bandNext_ = lo));
    for (; bandNext_ <= hi; ++bandNext_) {
      FillAlong(rows_->Row(who_, uint32_t(bandNext_)), alongA_ + alongB_ * (Real(bandNext_) - cy_),
                band_[size_t(bandNext_) & bandMask_].data());
      rows_->LetGo(who_, uint32_t(bandNext_ + 1));
    }
  }
  const bool oneShift = downStep_ == 0;  // no turn: one phase for every column
  for (const DownRun& run : runs_) {
    const int64_t y = int64_t(row) + run.shift;
    const uint8_t* taps[4] = {BandRow(y - 1), BandRow(y), BandRow(y + 1), BandRow(y + 2)};
    FilterDown(taps, oneShift ? nullptr : phases_.data(), phases_[run.begin], run.begin, run.end, dest, path_);
  }
}

void AlignedSource::ReadRow(uint32_t row, uint8_t* dest) {
  if (row >= image_.Height || int64_t(row) < asked_)
    Fault(image_.Path, QStringLiteral("row %1 was asked for after row %2").arg(row).arg(asked_));
  const size_t bytes = size_t(image_.Width) * 4;
  if (mode_ == Mode::kCopy) {
    const auto y = uint32_t(rowOffset_ + row);
    rows_->LetGo(who_, y);
    std::memcpy(dest, rows_->Row(who_, y) + columnOffset_ * 4, bytes);
    asked_ = row;
    return;
  }
  asked_ = row;
  if (int64_t(row) == kept_) {
    std::memcpy(dest, row_.data(), bytes);
    return;
  }
  kept_ = -1;
  if (mode_ == Mode::kAlong) {
    const auto y = uint32_t(rowOffset_ + row);
    rows_->LetGo(who_, y);
    FillAlong(rows_->Row(who_, y), alongA_, dest);
  } else {
    Band(row, dest);
  }
  if (keepRow_) {
    std::memcpy(row_.data(), dest, bytes);
    kept_ = row;
  }
}

}  // namespace

std::unique_ptr<SourceReader> OpenAlignedSource(std::shared_ptr<SharedRows> rows, const ViewTransform& t,
                                                const CommonArea& area, FilterPath path) {
  return std::make_unique<AlignedSource>(std::move(rows), t, area, path, false);
}

ColourModel LoadAlignedBitmap(const QString& path, const ViewTransform& t, const CommonArea& area, QImage& bitmap,
                              bool negativeInput) {
  auto aligned = OpenAlignedSource(std::make_shared<SharedRows>(OpenSource(path)), t, area);
  return LoadReaderBitmap(path, *aligned, bitmap, negativeInput);
}

CommonArea CommonAreaOf(const ViewSet& views, const std::vector<ViewTransform>& transforms) {
  std::vector<PlacedView> placed;
  for (size_t i = 0; i < views.size(); ++i) {
    CheckViewTransform(views[i].image().Path, transforms.at(i));
    placed.push_back({views[i].image().Width, views[i].image().Height, transforms[i]});
  }
  return CommonAreaOf(placed);
}

void AlignViews(ViewSet& views, const std::vector<ViewTransform>& transforms, const CommonArea& area) {
  // One aligned reader per file and transform, one band per file.
  struct Reader {
    SourceReader* file;
    ViewTransform t;
    int listings;
  };
  std::vector<Reader> readers;
  std::vector<size_t> of;
  for (size_t i = 0; i < views.size(); ++i) {
    SourceReader* file = &views[i];
    auto same = std::find_if(readers.begin(), readers.end(), [&](const Reader& r) { return r.file == file && r.t == transforms.at(i); });
    if (same == readers.end()) same = readers.insert(readers.end(), Reader{file, transforms[i], 0});
    ++same->listings;
    of.push_back(size_t(same - readers.begin()));
  }
  std::vector<std::pair<SourceReader*, std::shared_ptr<SharedRows>>> bands;
  std::vector<std::unique_ptr<SourceReader>> aligned;
  for (const Reader& r : readers) {
    auto band = std::find_if(bands.begin(), bands.end(), [&](const auto& b) { return b.first == r.file; });
    if (band == bands.end()) band = bands.insert(bands.end(), std::make_pair(r.file, std::make_shared<SharedRows>(*r.file)));
    aligned.push_back(std::make_unique<AlignedSource>(band->second, r.t, area, DefaultFilterPath(), r.listings > 1));
  }
  views.ReplaceListings(std::move(aligned), of);
}

}  // namespace plivora
