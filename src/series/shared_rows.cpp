#include "series/shared_rows.h"

#include <algorithm>
#include <cstring>

#include "common/error.h"

namespace plivora {

SharedRows::SharedRows(SourceReader& reader)
    : reader_(reader), pixelBytes_((size_t(reader.image().Width) + 2 * kMargin) * 4),
      rowBytes_(reader.HasAlpha() ? 2 * pixelBytes_ : pixelBytes_) {
  if (reader.HasAlpha())
    alpha_.resize(reader.image().Width);
  else
    opaque_.assign(pixelBytes_, 255);
}

SharedRows::SharedRows(std::unique_ptr<SourceReader> reader) : SharedRows(*reader) { owned_ = std::move(reader); }

size_t SharedRows::AddTaker(uint32_t first) {
  if (next_ > 0) Fail(QStringLiteral("Cannot align view \"%1\": a taker came after the first row was read (a fault in this program)").arg(reader_.image().Path));
  keep_.push_back(first);
  return keep_.size() - 1;
}

uint32_t SharedRows::Keep() const { return keep_.empty() ? next_ : *std::min_element(keep_.begin(), keep_.end()); }

const uint8_t* SharedRows::Row(size_t who, uint32_t y) {
  if (y < keep_[who] || y >= reader_.image().Height)
    Fail(QStringLiteral("Cannot align view \"%1\": row %2 was asked for after row %3 was let go (a fault in this program)")
             .arg(reader_.image().Path)
             .arg(y)
             .arg(keep_[who]));
  if (y >= next_) {
    // Rows no taker may want are skipped, not read.
    const uint32_t keep = Keep();
    if (keep > next_) {
      for (auto& row : rows_) spare_.push_back(std::move(row));
      rows_.clear();
      next_ = keep;
    }
    while (next_ <= y) ReadNext(next_);
  }
  if (next_ - y > rows_.size())
    Fail(QStringLiteral("Cannot align view \"%1\": row %2 was let go before every listing had it (a fault in this program)")
             .arg(reader_.image().Path)
             .arg(y));
  return rows_[rows_.size() - (next_ - y)].data() + kMargin * 4;
}

void SharedRows::ReadNext(uint32_t y) {
  std::vector<uint8_t> row;
  if (!spare_.empty()) {
    row = std::move(spare_.back());
    spare_.pop_back();
  }
  row.resize(rowBytes_);
  uint8_t* pixels = row.data() + kMargin * 4;
  reader_.ReadRow(y, pixels);
  uint8_t* alpha = nullptr;
  if (!alpha_.empty()) {
    reader_.ReadAlpha(alpha_.data());
    alpha = pixels + pixelBytes_;
    for (size_t x = 0; x < alpha_.size(); ++x) std::memset(alpha + x * 4, alpha_[x], 4);
  }
  const size_t last = size_t(reader_.image().Width - 1) * 4;
  for (uint8_t* p : {pixels, alpha})
    for (size_t i = 1; p && i <= kMargin; ++i) {
      std::memcpy(p - i * 4, p, 4);
      std::memcpy(p + last + i * 4, p + last, 4);
    }
  rows_.push_back(std::move(row));
  next_ = y + 1;
}

void SharedRows::LetGo(size_t who, uint32_t y) {
  keep_[who] = std::max(keep_[who], y);
  const uint32_t keep = Keep();
  while (!rows_.empty() && next_ - rows_.size() < keep) {
    spare_.push_back(std::move(rows_.front()));
    rows_.pop_front();
  }
}

}  // namespace plivora
