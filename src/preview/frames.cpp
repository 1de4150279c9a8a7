#include "preview/frames.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <vector>

#include "common/error.h"
#include "common/numbers.h"
#include "common/task_pool.h"
#include "preview/colour_rules.h"
#include "series/aligned_source.h"
#include "series/source_image.h"

namespace plivora {

namespace {

int ReducedLength(uint32_t length, int64_t S) {
  // A side that rounds to 0 keeps one pixel, so that even a view of one
  // pixel row shows as a line rather than nothing.
  const int64_t reduced = Round(Real(length) / Real(S) * 10000);
  return int(std::clamp<int64_t>(reduced, 1, INT_MAX));
}

QImage NewCmykBitmap(QSize size) {
  QImage bitmap(size, kCmykFormat);
  if (bitmap.isNull())
    Fail(QStringLiteral("Not enough memory for a preview frame of %1 x %2 pixels").arg(size.width()).arg(size.height()));
  return bitmap;
}

}  // namespace

int64_t ScaleForWidth(uint32_t width) { return Round(Real(width) / 400 * 10000); }

QSize ReducedSize(uint32_t width, uint32_t height, int64_t S) {
  if (S <= 0) Fail(QStringLiteral("Cannot reduce a view for the preview: its scale is not set (a fault in this program)"));
  return {ReducedLength(width, S), ReducedLength(height, S)};
}

QImage ReduceView(const QImage& view, FrameScale& scale) {
  if (view.depth() != 32) Fail(QStringLiteral("Cannot reduce a view for the preview: its picture is not 32 bits a pixel (a fault in this program)"));
  const auto width = uint32_t(view.width());
  const auto height = uint32_t(view.height());
  if (scale.S == 0) scale.S = ScaleForWidth(width);
  const QSize reduced = ReducedSize(width, height, scale.S);
  if (!scale.frameSize.isValid()) scale.frameSize = reduced;

  // Zero bytes are CMYK 0, 0, 0, 0: the padding of a smaller view is paper.
  QImage frame = NewCmykBitmap(scale.frameSize);
  frame.fill(0);
  const int columns = std::min(reduced.width(), frame.width());
  const int rows = std::min(reduced.height(), frame.height());
  std::vector<uint32_t> sourceColumn(static_cast<size_t>(columns));
  for (int x = 0; x < columns; ++x) sourceColumn[size_t(x)] = uint32_t(int64_t(x) * width / reduced.width());
  for (int y = 0; y < rows; ++y) {
    const auto sourceRow = int(int64_t(y) * height / reduced.height());
    const auto* in = reinterpret_cast<const uint32_t*>(view.constScanLine(sourceRow));
    auto* out = reinterpret_cast<uint32_t*>(frame.scanLine(y));
    for (int x = 0; x < columns; ++x) out[x] = in[sourceColumn[size_t(x)]];
  }
  return frame;
}

QImage BuildFrame(const QString& path, bool negativeInput, FrameScale& scale, const std::optional<AlignedRead>& aligned) {
  QImage reduced;
  {
    // Handed in small: LoadSourceBitmap sizes it to the view.
    QImage view(1, 1, kCmykFormat);
    const ColourModel model = aligned ? LoadAlignedBitmap(path, aligned->transform, aligned->area, view, negativeInput)
                                      : LoadSourceBitmap(path, view, negativeInput);
    if (model != ColourModel::kCmyk) RgbAsInks(view);
    reduced = ReduceView(view, scale);
  }
  QImage frame;
  CmykToRgb(reduced, frame);
  return frame;
}

QImage BuildReaderFrame(const QString& name, SourceReader& reader, FrameScale& scale) {
  QImage reduced;
  {
    QImage view(1, 1, kCmykFormat);
    if (LoadReaderBitmap(name, reader, view, false) != ColourModel::kCmyk) RgbAsInks(view);
    reduced = ReduceView(view, scale);
  }
  QImage frame;
  CmykToRgb(reduced, frame);
  return frame;
}

std::vector<QImage> BuildFrames(const QStringList& paths, bool negativeInput, const std::vector<AlignedRead>& aligned) {
  const size_t n = size_t(paths.size());
  if (!aligned.empty() && aligned.size() != n)
    Fail(QStringLiteral("Cannot build the preview: %1 views but %2 alignments (a fault in this program)").arg(n).arg(aligned.size()));
  const auto alignedOf = [&](size_t i) { return aligned.empty() ? std::optional<AlignedRead>() : aligned[i]; };
  std::vector<QImage> frames(n);
  if (n == 0) return frames;
  // The first view fixes the scale; the others are built side by side, one
  // view a task, and a failure is reported for the first view in list order.
  FrameScale scale;
  frames[0] = BuildFrame(paths[0], negativeInput, scale, alignedOf(0));
  std::vector<std::exception_ptr> errors(n);
  TaskPool pool(unsigned(std::min<size_t>(WorkerThreads(0), n - 1)));
  pool.Run([&](unsigned t) {
    for (size_t i = 1 + t; i < n; i += pool.size()) {
      try {
        FrameScale fixed = scale;
        frames[i] = BuildFrame(paths[int(i)], negativeInput, fixed, alignedOf(i));
      } catch (...) {
        errors[i] = std::current_exception();
      }
    }
  });
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
  return frames;
}

}  // namespace plivora
