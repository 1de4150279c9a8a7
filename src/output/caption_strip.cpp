#include "output/caption_strip.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cstring>

#include "common/error.h"
#include "common/numbers.h"

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

}  // namespace

QString CaptionDateText(const QDateTime& now) {
  return now.toString(QStringLiteral("yyyy 年  MM 月 dd 日 HH 时 mm 分 ss 秒"));
}

QString CaptionPathText(const QString& outputPath) {
  return outputPath + QStringLiteral("  This tiff creat form vexo Plivora13T  lenticular prepress  support@vexo.example");
}

std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in) {
  const int width = in.outputWidth, rows = in.stripRows;
  std::vector<uint8_t> strip(size_t(width) * size_t(rows) * 4, 0);
  if (rows == 0 || width == 0) return strip;

  // White text on black without smoothing has only two levels, so the tall
  // image is kept at one byte a pixel; each becomes v, v, v, 0 in the strip.
  const int64_t tallRows64 = int64_t(rows) * in.compress;
  QImage tall(width, int(tallRows64), QImage::Format_Grayscale8);
  if (tallRows64 > INT32_MAX || tall.isNull())
    Fail(QStringLiteral("Not enough memory for the caption strip (%1 x %2 pixels)").arg(width).arg(tallRows64));
  tall.fill(0);

  // Size in points: round(DPI / 20); character height at the logical dpi.
  const int64_t points = Round(Real(in.dpiE9) / 20 / 100000 / 10000);
  const int64_t pixels = Round(Real(points) * kLogicalDpi / 72);
  if (pixels >= 1 && pixels < 100000) {
    QFont font(QStringLiteral("arial"));
    font.setPixelSize(int(pixels));
    // Hard edges: the plate setter gets pure ink or none.
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    QPainter painter(&tall);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font, &tall);
    DrawOpaqueLine(painter, metrics, 10, 20, CaptionDateText(in.now), width);
    DrawOpaqueLine(painter, metrics, 10, int(points) + 40, CaptionPathText(in.outputPath), width);
  }

  // Keep one whole row of every `compress`, the middle one of each group.
  for (int r = 0; r < rows; ++r) {
    const uint8_t* source = tall.constScanLine(r * in.compress + in.compress / 2);
    uint8_t* dest = strip.data() + size_t(r) * size_t(width) * 4;
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = uint32_t(source[x]) * 0x00010101u;  // the fourth byte stays 0
      std::memcpy(dest + size_t(x) * 4, &pixel, 4);
    }
  }
  return strip;
}

}  // namespace plivora
