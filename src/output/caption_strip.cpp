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

// Draws `text` with its top-left corner at (x, y) on a black box the size of
// its character cells, like opaque text output.
void DrawOpaqueLine(QPainter& painter, const QFontMetrics& metrics, int x, int y, const QString& text) {
  painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), Qt::black);
  painter.drawText(QPoint(x, y + metrics.ascent()), text);
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

  const int64_t tallRows64 = int64_t(rows) * in.compress;
  QImage tall(width, int(tallRows64), QImage::Format_RGB32);
  if (tallRows64 > INT32_MAX || tall.isNull())
    Fail(QStringLiteral("Not enough memory for the caption strip (%1 x %2 pixels)").arg(width).arg(tallRows64));
  tall.fill(Qt::black);

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
    DrawOpaqueLine(painter, metrics, 10, 20, CaptionDateText(in.now));
    DrawOpaqueLine(painter, metrics, 10, int(points) + 40, CaptionPathText(in.outputPath));
  }

  // Keep one whole row of every `compress`, the middle one of each group.
  const size_t rowBytes = size_t(width) * 4;
  for (int r = 0; r < rows; ++r) {
    const uint8_t* source = tall.constScanLine(r * in.compress + in.compress / 2);
    uint8_t* dest = strip.data() + size_t(r) * rowBytes;
    std::memcpy(dest, source, rowBytes);
    for (size_t i = 3; i < rowBytes; i += 4) dest[i] = 0;  // QImage keeps 0xFF there
  }
  return strip;
}

}  // namespace plivora
