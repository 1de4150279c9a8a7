#include "output/caption_strip.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "common/numbers.h"
#include "output/sparse_image.h"

namespace plivora {

namespace {

// Points become pixels at 96 logical pixels per inch, as on the usual
// desktop display; fixed so that every front end writes the same bytes.
constexpr int kLogicalDpi = 96;

// The part of `text` that can reach the first `room` pixels when drawn: the
// characters that start more than a few ems past the edge paint nothing there,
// and a long path at plate-setter sizes would cost most of the strip's time.
QString VisiblePart(const QFontMetrics& metrics, const QString& text, int room) {
  const int limit = room + 4 * metrics.height();
  if (metrics.horizontalAdvance(text) <= limit) return text;
  qsizetype low = 0, high = text.size();  // advance(low) <= limit < advance(high)
  while (high - low > 1) {
    const qsizetype mid = (low + high) / 2;
    (metrics.horizontalAdvance(text.left(mid)) <= limit ? low : high) = mid;
  }
  if (high < text.size() && text[high].isLowSurrogate()) ++high;  // keep a character whole
  return text.left(high);
}

// Draws `text` with its top-left corner at (x, y) on a black box the size of
// its character cells, like opaque text output.
void DrawOpaqueLine(QPainter& painter, const QFontMetrics& metrics, int x, int y, const QString& text, int width) {
  const QString visible = VisiblePart(metrics, text, width - x);
  painter.fillRect(QRect(x, y, metrics.horizontalAdvance(visible), metrics.height()), Qt::black);
  painter.drawText(QPoint(x, y + metrics.ascent()), visible);
}

// Draws both lines onto the full-resolution image, only within `band`.
void DrawCaptionLines(QImage& image, const QRect& band, const QFont& font, int points, const CaptionStripInput& in) {
  QPainter painter(&image);
  painter.setClipRect(band);
  painter.setFont(font);
  painter.setPen(Qt::white);
  const QFontMetrics metrics(font, &image);
  DrawOpaqueLine(painter, metrics, 10, 20, CaptionDateText(in.now), in.outputWidth);
  DrawOpaqueLine(painter, metrics, 10, points + 40, CaptionPathText(in.outputPath), in.outputWidth);
}

}  // namespace

QString CaptionDateText(const QDateTime& now) {
  return now.toString(QStringLiteral("yyyy 年  MM 月 dd 日 HH 时 mm 分 ss 秒"));
}

QString CaptionPathText(const QString& outputPath) {
  return outputPath + QStringLiteral("  This tiff creat form vexo Plivora13T  lenticular prepress  support@vexo.example");
}

std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in) {
  // A band of about 8 MB, and no more than a few hundred rows where the strip
  // is narrow; a plate-setter-wide strip is drawn a few rows at a time.
  const int bandRows = int(std::clamp<int64_t>((int64_t(8) << 20) / std::max(in.outputWidth, 1), 1, 256));
  return RenderCaptionStrip(in, bandRows);
}

std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in, int maxBandRows) {
  const int width = in.outputWidth, rows = in.stripRows, compress = in.compress;
  if (compress < 1 || maxBandRows < 1)
    Fail(QStringLiteral("Caption strip: compress %1 and band of %2 rows out of range").arg(compress).arg(maxBandRows));
  std::vector<uint8_t> strip(size_t(width) * size_t(rows), 0);
  if (rows == 0 || width == 0) return strip;

  // The full-resolution image has stripRows x compress rows; the strip keeps
  // row r * compress + compress / 2 (the middle one of each group) as its row r.
  const int64_t tallRows64 = int64_t(rows) * compress;
  if (tallRows64 > INT32_MAX)
    Fail(QStringLiteral("Not enough memory for the caption strip (%1 x %2 pixels)").arg(width).arg(tallRows64));

  // Size in points: round(DPI / 20); character height at the logical dpi.
  const int64_t points = Round(Real(in.dpiE9) / 20 / 100000 / 10000);
  const int64_t pixels = Round(Real(points) * kLogicalDpi / 72);
  if (pixels < 1 || pixels >= 100000) return strip;
  QFont font(QStringLiteral("arial"));
  font.setPixelSize(int(pixels));
  // Hard edges: the plate setter gets pure ink or none.
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferNoHinting);

  // The text is drawn in bands, each clipped to the rows from one kept row to
  // a later one: the rows between groups are never drawn, and only one band
  // is in memory at a time. The painter keeps the coordinates of the whole
  // image, so every band gets exactly the pixels of the one-piece drawing
  // (a shifted painter would round outline points above the band otherwise).
  SparseGrayImage tall(width, int(tallRows64));
  for (int first = 0; first < rows;) {
    const int last = int(std::min<int64_t>(rows - 1, first + (maxBandRows - 1) / compress));
    const int top = first * compress + compress / 2, height = (last - first) * compress + 1;
    DrawCaptionLines(tall.image(), QRect(0, top, width, height), font, int(points), in);
    for (int r = first; r <= last; ++r)
      std::memcpy(strip.data() + size_t(r) * size_t(width), tall.image().constScanLine(top + (r - first) * compress),
                  size_t(width));
    tall.ReleaseRows(top, height);
    first = last + 1;
  }
  return strip;
}

void ExpandCaptionPixels(const uint8_t* levels, size_t count, uint8_t* filePixels) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* pixel = filePixels + i * 4;
    pixel[0] = pixel[1] = pixel[2] = levels[i];
    pixel[3] = 0;
  }
}

}  // namespace plivora
