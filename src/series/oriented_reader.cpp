#include "series/oriented_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/error.h"
#include "series/view_error.h"

namespace plivora {

namespace {

QString OrientationText(uint16_t orientation) {
  switch (orientation) {
    case 2: return QStringLiteral("mirrored");
    case 3: return QStringLiteral("turned half round");
    case 4: return QStringLiteral("upside down");
    case 5: case 7: return QStringLiteral("turned a quarter and mirrored");
    default: return QStringLiteral("turned a quarter");
  }
}

// Where each pixel of the upright picture is stored, for a stored picture of
// `w` x `h` pixels. Orientation 5 to 8 store the picture's columns as rows:
// stored row 0 is its left (5, 8) or right (6, 7) side, stored column 0 its
// top (5, 6) or bottom (7, 8).
struct Mapping {
  uint16_t orientation;
  uint32_t w, h;
  // The stored column and row of upright pixel (x, y).
  void Stored(uint32_t x, uint32_t y, uint32_t* sx, uint32_t* sy) const {
    switch (orientation) {
      case 2: *sx = w - 1 - x, *sy = y; return;
      case 3: *sx = w - 1 - x, *sy = h - 1 - y; return;
      case 4: *sx = x, *sy = h - 1 - y; return;
      case 5: *sx = y, *sy = x; return;              // transposed
      case 6: *sx = y, *sy = h - 1 - x; return;
      case 7: *sx = w - 1 - y, *sy = h - 1 - x; return;
      case 8: *sx = w - 1 - y, *sy = x; return;
      default: *sx = x, *sy = y; return;
    }
  }
};

class OrientedReader final : public SourceReader {
 public:
  OrientedReader(std::unique_ptr<SourceReader> stored, DecodeBudget& budget)
      : stored_(std::move(stored)),
        map_{stored_->image().Orientation, stored_->image().Width, stored_->image().Height},
        storedRow_(size_t(map_.w) * 4), storedAlpha_(stored_->HasAlpha() ? map_.w : 0) {
    image_ = stored_->image();
    image_.Orientation = 1;
    if (map_.orientation >= 5) std::swap(image_.Width, image_.Height);
    if (map_.orientation != 2) {
      const uint64_t whole = uint64_t(map_.w) * map_.h * (HasAlpha() ? 5 : 4);
      const QString stored = QStringLiteral("it is stored %1 (orientation %2)").arg(OrientationText(map_.orientation)).arg(map_.orientation);
      budget.Claim(whole, stored + QStringLiteral(", so it is decoded whole to be shown upright, in %1"));
      whole_ = whole;
    }
  }

  void Start() override {
    stored_->Start();
    if (whole_ == 0 || !picture_.empty()) return;
    try {
      picture_.resize(size_t(whole_));
    } catch (const std::bad_alloc&) {
      FailView(image_.Path, QStringLiteral("there is not enough memory to turn it upright (%1)").arg(SizeText(whole_)));
    }
    const size_t rowBytes = size_t(map_.w) * 4;
    uint8_t* alpha = picture_.data() + rowBytes * map_.h;  // the alpha plane follows the pixels
    for (uint32_t r = 0; r < map_.h; ++r) {
      stored_->ReadRow(r, picture_.data() + r * rowBytes);
      if (HasAlpha()) stored_->ReadAlpha(alpha + size_t(r) * map_.w);
    }
  }

  bool HasAlpha() const override { return !storedAlpha_.empty(); }

  // The alpha of the row handed out last, turned as its pixels were.
  void ReadAlpha(uint8_t* dest) const override {
    if (!HasAlpha() || row_ < 0) return SourceReader::ReadAlpha(dest);
    const uint8_t* plane = whole_ != 0 ? picture_.data() + size_t(map_.w) * map_.h * 4 : nullptr;
    for (uint32_t x = 0; x < image_.Width; ++x) {
      uint32_t sx = 0, sy = 0;
      map_.Stored(x, uint32_t(row_), &sx, &sy);
      dest[x] = plane ? plane[size_t(sy) * map_.w + sx] : storedAlpha_[sx];
    }
  }

  bool ReadsDirectly() const override { return whole_ != 0 || stored_->ReadsDirectly(); }

  void ReadRow(uint32_t row, uint8_t* dest) override {
    if (row >= image_.Height) FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
    const uint8_t* source = storedRow_.data();
    row_ = row;
    if (whole_ == 0) {
      stored_->ReadRow(row, storedRow_.data());
      if (HasAlpha()) stored_->ReadAlpha(storedAlpha_.data());
    } else if (picture_.empty()) {
      Start();
    }
    for (uint32_t x = 0; x < image_.Width; ++x) {
      uint32_t sx = 0, sy = 0;
      map_.Stored(x, row, &sx, &sy);
      if (whole_ != 0) source = picture_.data() + size_t(sy) * map_.w * 4;
      std::memcpy(dest + size_t(x) * 4, source + size_t(sx) * 4, 4);
    }
  }

 private:
  std::unique_ptr<SourceReader> stored_;
  Mapping map_;
  uint64_t whole_ = 0;           // bytes of the whole stored picture, 0 when rows are turned one by one
  std::vector<uint8_t> picture_;  // the stored picture, once Started
  std::vector<uint8_t> storedRow_;
  std::vector<uint8_t> storedAlpha_;  // the stored row's alpha; empty for a picture without
  int64_t row_ = -1;                  // the row handed out last
};

}  // namespace

std::unique_ptr<SourceReader> OrientSource(std::unique_ptr<SourceReader> stored, DecodeBudget& budget) {
  return std::make_unique<OrientedReader>(std::move(stored), budget);
}

}  // namespace plivora
