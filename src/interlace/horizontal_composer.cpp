#include "interlace/horizontal_composer.h"

#include <cstring>

#include "common/error.h"

namespace plivora {

namespace {

// The running fraction sum before column x of a row of fraction f, which
// started at 0 before column 0: (x f) mod 10000.
int32_t SumBefore(size_t x, int32_t f) { return int32_t(int64_t(x) * f % 10000); }

// Each column adds the row's fraction to the running sum; once the sum
// passes 9999 the column shows the next view and the sum drops by 10000.
// Column x takes the next view's pixel when `sum` (the sum before it) + f
// passes 9999, and `next` is the offset of that view's row in the set.

template <class Rule>
size_t ComposeOnes(const Rule& rule, int32_t f, const uint32_t* sourceByte, uint32_t next, const uint8_t* rowSet,
                   uint8_t* out, size_t x, size_t end) {
  int32_t sum = SumBefore(x, f);
  for (; x < end; ++x) {
    const int32_t s = sum + f;
    const uint32_t takeNext = uint32_t(9999 - s) >> 31;
    sum = s - 10000 * int32_t(takeNext);
    const uint32_t pixel = rule.Pixel(rowSet + sourceByte[x] + (next & (0u - takeNext)));
    std::memcpy(out + 4 * x, &pixel, 4);
  }
  return x;
}

#if defined(__SSE2__)
template <class Rule>
size_t ComposeFours(const Rule rule, int32_t f, const uint32_t* sourceByte, uint32_t next, const uint8_t* rowSet,
                    uint8_t* out, size_t x, size_t end) {
  if (x + 4 > end) return x;
  __m128i sum = _mm_setr_epi32(SumBefore(x, f), SumBefore(x + 1, f), SumBefore(x + 2, f), SumBefore(x + 3, f));
  const __m128i fraction = _mm_set1_epi32(f), limit = _mm_set1_epi32(9999), step = _mm_set1_epi32(10000);
  const __m128i ahead = _mm_set1_epi32(SumBefore(4, f)), nextSlot = _mm_set1_epi32(int32_t(next));
  for (; x + 4 <= end; x += 4) {
    const __m128i takeNext = _mm_cmpgt_epi32(_mm_add_epi32(sum, fraction), limit);
    const __m128i at = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sourceByte + x)),
                                     _mm_and_si128(takeNext, nextSlot));
    alignas(16) uint32_t offsets[4], px[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(offsets), at);
    for (int k = 0; k < 4; ++k) std::memcpy(&px[k], rowSet + offsets[k], 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), rule.Four(_mm_load_si128(reinterpret_cast<const __m128i*>(px))));
    // Four columns on: (sum + 4 f) mod 10000.
    sum = _mm_add_epi32(sum, ahead);
    sum = _mm_sub_epi32(sum, _mm_and_si128(_mm_cmpgt_epi32(sum, limit), step));
  }
  return x;
}
#endif

#if defined(__x86_64__)
template <class Rule>
__attribute__((target("avx2"))) size_t ComposeEights(const Rule rule, int32_t f, const uint32_t* sourceByte,
                                                     uint32_t next, const uint8_t* rowSet, uint8_t* out, size_t x,
                                                     size_t end) {
  if (x + 8 > end) return x;
  __m256i sum = _mm256_setr_epi32(SumBefore(x, f), SumBefore(x + 1, f), SumBefore(x + 2, f), SumBefore(x + 3, f),
                                  SumBefore(x + 4, f), SumBefore(x + 5, f), SumBefore(x + 6, f), SumBefore(x + 7, f));
  const __m256i fraction = _mm256_set1_epi32(f), limit = _mm256_set1_epi32(9999), step = _mm256_set1_epi32(10000);
  const __m256i ahead = _mm256_set1_epi32(SumBefore(8, f)), nextSlot = _mm256_set1_epi32(int32_t(next));
  // Offsets run to 2^32 - 1: counted from rowSet + 2^31, they fit the
  // gather's signed ones.
  const auto* base = reinterpret_cast<const int*>(reinterpret_cast<uintptr_t>(rowSet) + 0x80000000u);
  const __m256i bias = _mm256_set1_epi32(INT32_MIN);
  for (; x + 8 <= end; x += 8) {
    const __m256i takeNext = _mm256_cmpgt_epi32(_mm256_add_epi32(sum, fraction), limit);
    const __m256i at = _mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sourceByte + x)),
                                        _mm256_and_si256(takeNext, nextSlot));
    const __m256i px = _mm256_i32gather_epi32(base, _mm256_xor_si256(at, bias), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), rule.Eight(px));
    sum = _mm256_add_epi32(sum, ahead);
    sum = _mm256_sub_epi32(sum, _mm256_and_si256(_mm256_cmpgt_epi32(sum, limit), step));
  }
  return x;
}
#endif

}  // namespace

HorizontalComposer::HorizontalComposer(const PlateGeometry& plate, const ColumnViewMap& map, uint32_t widestView,
                                       PixelRule rule, ComposerPath path)
    : path_(path), rule_(std::move(rule)), slotBytes_(size_t(widestView) * 4), view_(map.viewIndex),
      fraction_(map.viewFraction) {
  if (!ProcessorRuns(path))
    Fail(QStringLiteral("Cannot compose on the %1 path: this processor lacks its instructions").arg(QLatin1String(ComposerPathName(path))));
  if (2 * slotBytes_ > UINT32_MAX) Fail(QStringLiteral("The views are too wide to export together"));
  const ExportGeometry& g = plate.lens;
  sourceRow_.resize(fraction_.size());
  for (size_t y = 0; y < sourceRow_.size(); ++y) sourceRow_[y] = g.SourceColumn(int64_t(y));
  sourceByte_.resize(size_t(plate.width));
  for (size_t x = 0; x < sourceByte_.size(); ++x) sourceByte_[x] = g.SourceRow(int64_t(x)) * 4;
}

HorizontalComposer::Sources HorizontalComposer::SourcesOf(int64_t row) const {
  const auto y = size_t(row);
  return {view_[y], view_[y + 1], sourceRow_[y], fraction_[y] > 0};
}

void HorizontalComposer::Compose(int64_t row, const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end) {
  const int32_t f = fraction_[size_t(row)];
  std::visit([&](const auto& rule) { ComposeWith(rule, f, rowSet, out, begin, end); }, rule_);
}

// The rule by value in the wide loops, as in the vertical composer: its
// fields stay in registers.
template <class Rule>
void HorizontalComposer::ComposeWith(const Rule& rule, int32_t f, const uint8_t* rowSet, uint8_t* out, size_t begin,
                                     size_t end) const {
  const auto next = uint32_t(slotBytes_);
  size_t x = begin;
#if defined(__x86_64__)
  if (path_ == ComposerPath::kAvx2) x = ComposeEights(rule, f, sourceByte_.data(), next, rowSet, out, x, end);
#endif
#if defined(__SSE2__)
  if (path_ != ComposerPath::kScalar) x = ComposeFours(rule, f, sourceByte_.data(), next, rowSet, out, x, end);
#endif
  ComposeOnes(rule, f, sourceByte_.data(), next, rowSet, out, x, end);
}

}  // namespace plivora
