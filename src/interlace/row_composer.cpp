#include "interlace/row_composer.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>

#include "common/error.h"

namespace plivora {

namespace {

void out32(uint8_t* out, size_t i, uint32_t pixel) { std::memcpy(out + 4 * i, &pixel, 4); }

ComposerPath WidestPath() {
  for (ComposerPath path : {ComposerPath::kAvx2, ComposerPath::kSse2})
    if (ProcessorRuns(path)) return path;
  return ComposerPath::kScalar;
}

ComposerPath PathFromEnvironment() {
  const QByteArray name = qgetenv("PLIVORA_COMPOSER_PATH");
  if (name.isEmpty()) return WidestPath();
  for (ComposerPath path : {ComposerPath::kScalar, ComposerPath::kSse2, ComposerPath::kAvx2})
    if (name == ComposerPathName(path)) return path;
  Fail(QStringLiteral("Cannot choose the composer path: PLIVORA_COMPOSER_PATH is \"%1\", not scalar, sse2 or avx2").arg(QString::fromLocal8Bit(name)));
}

// The composer's column arrays as the walk sees them; each call reads and
// writes columns [i, end) only.
struct Columns {
  const int32_t* fraction;
  int32_t* fractionSum;
  const uint32_t* here;  // source pixel offsets in the column's own view
  const uint32_t* next;  // and in the next column's view
};

// One column: once the running sum reaches 10000 the next column's view
// takes this row. Written without a branch: for fractional columns the
// outcome follows no pattern a branch predictor could learn.
template <class Rule>
uint32_t ComposeOne(const Columns& col, const Rule& rule, const uint8_t* rowSet, size_t i) {
  const int32_t s = col.fractionSum[i] + col.fraction[i];
  const uint32_t takeNext = uint32_t(9999 - s) >> 31;  // 1 when s > 9999
  col.fractionSum[i] = s - 10000 * int32_t(takeNext);
  const uint32_t here = col.here[i], next = col.next[i];
  return rule.Pixel(rowSet + (here ^ ((here ^ next) & (0u - takeNext))));
}

#if defined(__SSE2__)
// Four columns at a time; returns the first column it left.
template <class Rule>
size_t ComposeFours(const Columns& col, const Rule rule, const uint8_t* rowSet, uint8_t* out, size_t i, size_t end) {
  const __m128i limit = _mm_set1_epi32(9999), step = _mm_set1_epi32(10000);
  for (; i + 4 <= end; i += 4) {
    auto* sum = reinterpret_cast<__m128i*>(col.fractionSum + i);
    const __m128i s = _mm_add_epi32(_mm_loadu_si128(sum), _mm_loadu_si128(reinterpret_cast<const __m128i*>(col.fraction + i)));
    const __m128i takeNext = _mm_cmpgt_epi32(s, limit);
    _mm_storeu_si128(sum, _mm_sub_epi32(s, _mm_and_si128(takeNext, step)));
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(col.here + i));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(col.next + i));
    alignas(16) uint32_t at[4], px[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_or_si128(_mm_andnot_si128(takeNext, here), _mm_and_si128(takeNext, next)));
    for (int k = 0; k < 4; ++k) std::memcpy(&px[k], rowSet + at[k], 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), rule.Four(_mm_load_si128(reinterpret_cast<const __m128i*>(px))));
  }
  return i;
}
#endif

#if defined(__x86_64__)
// The same for eight columns at a time, the source pixels gathered.
template <class Rule>
__attribute__((target("avx2"))) size_t ComposeEights(const Columns& col, const Rule rule, const uint8_t* rowSet,
                                                     uint8_t* out, size_t i, size_t end) {
  const __m256i limit = _mm256_set1_epi32(9999), step = _mm256_set1_epi32(10000);
  // The gather adds signed 32-bit offsets to its base, and row set offsets
  // run to 2^32 - 1: counted from rowSet + 2^31, they all fit.
  const auto* base = reinterpret_cast<const int*>(reinterpret_cast<uintptr_t>(rowSet) + 0x80000000u);
  const __m256i bias = _mm256_set1_epi32(INT32_MIN);
  for (; i + 8 <= end; i += 8) {
    auto* sum = reinterpret_cast<__m256i*>(col.fractionSum + i);
    const __m256i s = _mm256_add_epi32(_mm256_loadu_si256(sum),
                                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(col.fraction + i)));
    const __m256i takeNext = _mm256_cmpgt_epi32(s, limit);
    _mm256_storeu_si256(sum, _mm256_sub_epi32(s, _mm256_and_si256(takeNext, step)));
    const __m256i at = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(col.here + i)),
                                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(col.next + i)), takeNext);
    const __m256i px = _mm256_i32gather_epi32(base, _mm256_xor_si256(at, bias), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), rule.Eight(px));
  }
  return i;
}
#endif

}  // namespace

const char* ComposerPathName(ComposerPath path) {
  switch (path) {
    case ComposerPath::kScalar: return "scalar";
    case ComposerPath::kSse2: return "sse2";
    case ComposerPath::kAvx2: return "avx2";
  }
  return "?";
}

bool ProcessorRuns(ComposerPath path) {
  switch (path) {
    case ComposerPath::kScalar: return true;
    case ComposerPath::kSse2:
#if defined(__SSE2__)
      return true;
#else
      return false;
#endif
    case ComposerPath::kAvx2:
#if defined(__x86_64__)
      __builtin_cpu_init();  // in case this runs before static constructors
      return __builtin_cpu_supports("avx2");  // false too when the system does not save the 256-bit registers
#else
      return false;
#endif
  }
  return false;
}

ComposerPath DefaultComposerPath() {
  static const ComposerPath path = PathFromEnvironment();  // thread-safe, once
  return path;
}
RowComposer::RowComposer(const ExportGeometry& g, const ColumnViewMap& map, const std::vector<uint32_t>& viewWidths,
                         PixelRule rule, ComposerPath path)
    : path_(path), rows_(g), rule_(std::move(rule)), fraction_(map.viewFraction), fractionSum_(size_t(g.outputWidth), 0) {
  if (!ProcessorRuns(path))
    Fail(QStringLiteral("Cannot compose on the %1 path: this processor lacks its instructions").arg(QLatin1String(ComposerPathName(path))));
  rowSetBytes_ = RowSetBytesFor(viewWidths);
  for (size_t v = 0, offset = 0; v < viewWidths.size(); offset += size_t(viewWidths[v++]) * 4) viewOffset_.push_back(offset);
  const size_t width = size_t(g.outputWidth);
  pixelAt_[0].resize(width);
  pixelAt_[1].resize(width);
  for (size_t i = 0; i < width; ++i) {
    const size_t sourceByte = size_t(g.SourceColumn(int64_t(i))) * 4;
    pixelAt_[0][i] = uint32_t(viewOffset_[size_t(map.viewIndex[i])] + sourceByte);
    pixelAt_[1][i] = uint32_t(viewOffset_[size_t(map.viewIndex[i + 1])] + sourceByte);
  }
}

size_t RowComposer::RowSetBytesFor(const std::vector<uint32_t>& viewWidths) {
  size_t bytes = 0;  // at most 255 views of 2^34 bytes: no wrap
  for (uint32_t width : viewWidths) bytes += size_t(width) * 4;
  if (bytes > UINT32_MAX) Fail(QStringLiteral("The views are too wide to export together"));
  return bytes;
}

void RowComposer::Compose(const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end) {
  std::visit([&](const auto& rule) { ComposeWith(rule, rowSet, out, begin, end); }, rule_);
}

// The loops take the rule by value, a copy of a few hundred bytes a call:
// no store through `out` can reach a copy, so its fields stay in registers
// across the columns (by reference, the eight-column loop with many ties
// ran at 1.6 times the time).
template <class Rule>
void RowComposer::ComposeWith(const Rule& rule, const uint8_t* rowSet, uint8_t* out, size_t begin, size_t end) {
  const Columns col{fraction_.data(), fractionSum_.data(), pixelAt_[0].data(), pixelAt_[1].data()};
  size_t i = begin;
#if defined(__x86_64__)
  if (path_ == ComposerPath::kAvx2) i = ComposeEights(col, rule, rowSet, out, i, end);
#endif
#if defined(__SSE2__)
  if (path_ != ComposerPath::kScalar) i = ComposeFours(col, rule, rowSet, out, i, end);  // what eights leave
#endif
  for (; i < end; ++i) out32(out, i, ComposeOne(col, rule, rowSet, i));
}

}  // namespace plivora
