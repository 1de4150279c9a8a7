#include "output/caption_strip.h"

#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "common/numbers.h"
#include "output/shrunk_drawing.h"

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

// The pixels of painter.drawText(baseline, text), drawn a few glyphs at a
// time. Glyphs too large for the glyph cache are filled as outlines, one
// path for all glyphs of a font, and Qt's rasterizer keeps a pixel row's edge
// crossings in a list it walks for every new crossing: the time grows with
// the square of the glyphs in the line (two thirds of a 4000 dpi caption
// strip went there). The pieces come from the same shaping at the same
// positions, and glyph outlines all wind the same way, so together they
// fill exactly the pixels of the whole line. Text the layout does not keep
// on one line (a line break in a file name) is drawn whole.
void DrawTextInPieces(QPainter& painter, QPoint baseline, const QString& text) {
  constexpr qsizetype kGlyphsPerPiece = 4;
  QTextLayout layout(text, painter.font(), painter.device());
  QTextOption option;
  option.setTextDirection(painter.layoutDirection());  // as drawText lays out
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  if (!line.isValid() || line.textLength() != text.size() || layout.lineCount() != 1)
    return painter.drawText(baseline, text);
  // Run positions are on the layout's baseline, line.ascent() below its top.
  const QPointF origin = QPointF(baseline) - QPointF(0, line.ascent());
  for (const QGlyphRun& run : line.glyphRuns()) {
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < glyphs.size(); i += kGlyphsPerPiece) {
      QGlyphRun piece = run;
      piece.setGlyphIndexes(glyphs.mid(i, kGlyphsPerPiece));
      piece.setPositions(positions.mid(i, kGlyphsPerPiece));
      painter.drawGlyphRun(origin, piece);
    }
  }
}

// Draws `text` with its top-left corner at (x, y) on a black box the size of
// its character cells, like opaque text output.
void DrawOpaqueLine(QPainter& painter, const QFontMetrics& metrics, int x, int y, const QString& text, int width) {
  const QString visible = VisiblePart(metrics, text, width - x);
  painter.fillRect(QRect(x, y, metrics.horizontalAdvance(visible), metrics.height()), Qt::black);
  DrawTextInPieces(painter, QPoint(x, y + metrics.ascent()), visible);
}

// Draws both lines onto the full-resolution image.
void DrawCaptionLines(QPainter& painter, const QFont& font, int points, const CaptionStripInput& in) {
  painter.setFont(font);
  painter.setPen(Qt::white);
  const QFontMetrics metrics(font, painter.device());
  DrawOpaqueLine(painter, metrics, 10, 20, CaptionDateText(in.now), in.outputWidth);
  DrawOpaqueLine(painter, metrics, 10, points + 40, CaptionPathText(in.outputPath, in.panel), in.outputWidth);
}

}  // namespace

QString CaptionDateText(const QDateTime& now) {
  return now.toString(QStringLiteral("yyyy 年  MM 月 dd 日 HH 时 mm 分 ss 秒"));
}

QString CaptionPathText(const QString& outputPath, const QString& panel) {
  return outputPath + (panel.isEmpty() ? QString() : QStringLiteral("  ") + panel) + QStringLiteral("  This tiff creat form vexo Plivora13T  lenticular prepress  support@vexo.example");
}

std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in) { return RenderCaptionStrip(in, 0); }

std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in, int maxBandRows) {
  // Size in points: round(DPI / 20); character height at the logical dpi.
  const int64_t points = Round(Real(in.dpiE9) / 20 / 100000 / 10000);
  const int64_t pixels = Round(Real(points) * kLogicalDpi / 72);
  if (pixels < 1 || pixels >= 100000)
    return RenderShrunk("caption strip", in.outputWidth, in.stripRows, in.compress, [](QPainter&) {}, maxBandRows);
  EnsureGuiApplication();
  QFont font(QStringLiteral("arial"));
  font.setPixelSize(int(pixels));
  // Hard edges: the plate setter gets pure ink or none.
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferNoHinting);
  return RenderShrunk(
      "caption strip", in.outputWidth, in.stripRows, in.compress,
      [&](QPainter& painter) { DrawCaptionLines(painter, font, int(points), in); }, maxBandRows);
}

void ExpandCaptionPixels(const uint8_t* levels, size_t count, uint8_t* filePixels) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* pixel = filePixels + i * 4;
    pixel[0] = pixel[1] = pixel[2] = levels[i];
    pixel[3] = 0;
  }
}

}  // namespace plivora
