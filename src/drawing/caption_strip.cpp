#include "drawing/caption_strip.h"

#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "common/error.h"
#include "common/numbers.h"
#include "drawing/shrunk_drawing.h"

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

// One caption line as every band draws it, laid out once: a black box the
// size of its character cells, like opaque text output, and the text on it.
//
// The text goes in pieces of a few glyphs with the pixels drawText gives.
// Glyphs too large for the glyph cache are filled as outlines, one path for
// all glyphs of a font, and Qt's rasterizer keeps a pixel row's edge
// crossings in a list it walks for every new crossing: the time grows with
// the square of the glyphs in the line (two thirds of a 4000 dpi caption
// strip went there). The pieces come from the same shaping at the same
// positions, and glyph outlines all wind the same way, so together they fill
// exactly the pixels of the whole line. Text the layout does not keep on one
// line (a line break in a file name) is drawn whole.
struct CaptionLine {
  QRect box;
  QPoint baseline;
  QString text;
  bool inPieces = false;
  QPointF origin;  // of the pieces' positions
  std::vector<QGlyphRun> pieces;
};

// The line with its top-left corner at (x, y), in a strip `width` pixels wide.
CaptionLine LayOutLine(const QFont& font, const QFontMetrics& metrics, QPaintDevice* device,
                       Qt::LayoutDirection direction, int x, int y, const QString& text, int width) {
  constexpr qsizetype kGlyphsPerPiece = 4;
  CaptionLine line;
  line.text = VisiblePart(metrics, text, width - x);
  line.box = QRect(x, y, metrics.horizontalAdvance(line.text), metrics.height());
  line.baseline = QPoint(x, y + metrics.ascent());
  QTextLayout layout(line.text, font, device);
  QTextOption option;
  option.setTextDirection(direction);  // as drawText lays out
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  const QTextLine laid = layout.createLine();
  layout.endLayout();
  line.inPieces = laid.isValid() && laid.textLength() == line.text.size() && layout.lineCount() == 1;
  if (!line.inPieces) return line;
  // Run positions are on the layout's baseline, laid.ascent() below its top.
  line.origin = QPointF(line.baseline) - QPointF(0, laid.ascent());
  for (const QGlyphRun& run : laid.glyphRuns()) {
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < glyphs.size(); i += kGlyphsPerPiece) {
      QGlyphRun& piece = line.pieces.emplace_back(run);
      piece.setGlyphIndexes(glyphs.mid(i, kGlyphsPerPiece));
      piece.setPositions(positions.mid(i, kGlyphsPerPiece));
    }
  }
  return line;
}

void DrawLine(QPainter& painter, const CaptionLine& line) {
  painter.fillRect(line.box, Qt::black);
  if (!line.inPieces) return painter.drawText(line.baseline, line.text);
  for (const QGlyphRun& piece : line.pieces) painter.drawGlyphRun(line.origin, piece);
}

}  // namespace

QString CaptionDateText(const QDateTime& now) {
  return now.toString(QStringLiteral("yyyy 年  MM 月 dd 日 HH 时 mm 分 ss 秒"));
}

QString CaptionPathText(const QString& outputPath, const QString& panel) {
  // A panel says which it is first: a narrow panel's strip shows only the
  // start of the line, and the paths of the panels differ at their ends.
  return (panel.isEmpty() ? QString() : panel + QStringLiteral("  ")) + outputPath +
         QStringLiteral("  This tiff creat form vexo Plivora13T  lenticular prepress  support@vexo.example");
}

namespace {

// The strip's drawing, its lines laid out once for every band that draws it.
DrawFn CaptionDrawing(const CaptionStripInput& in) {
  // Size in points: round(DPI / 20); character height at the logical dpi.
  const int64_t points = Round(Real(in.dpiE9) / 20 / 100000 / 10000);
  const int64_t pixels = Round(Real(points) * kLogicalDpi / 72);
  if (pixels < 1 || pixels >= 100000) return [](QPainter&) {};
  EnsureGuiApplication();
  QFont font(QStringLiteral("arial"));
  font.setPixelSize(int(pixels));
  // Hard edges: the plate setter gets pure ink or none.
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferNoHinting);
  // Laid out on an image of the bands' resolution, in the direction a
  // painter starts with.
  QImage device(1, 1, QImage::Format_Grayscale8);
  const Qt::LayoutDirection direction = QPainter(&device).layoutDirection();
  const QFontMetrics metrics(font, &device);
  // Laid out at the full resolution: squeezed columns are drawn narrower.
  const int squeeze = std::max(1, in.columnSqueeze);
  const int room = int(std::min<int64_t>(int64_t(in.outputWidth) * squeeze, INT32_MAX));
  const auto lines = std::make_shared<const std::vector<CaptionLine>>(std::vector<CaptionLine>{
      LayOutLine(font, metrics, &device, direction, 10, 20, CaptionDateText(in.now), room),
      LayOutLine(font, metrics, &device, direction, 10, int(points) + 40, CaptionPathText(in.outputPath, in.panel),
                 room)});
  return [font, lines, squeeze](QPainter& painter) {
    if (squeeze > 1) painter.scale(1.0 / squeeze, 1.0);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (const CaptionLine& line : *lines) DrawLine(painter, line);
  };
}

}  // namespace

std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in) { return RenderCaptionStrip(in, 0); }

std::vector<uint8_t> RenderCaptionStrip(const CaptionStripInput& in, int maxBandRows) {
  return RenderShrunk("caption strip", in.outputWidth, in.stripRows, in.compress, CaptionDrawing(in), maxBandRows);
}

void DrawCaptionStrip(const CaptionStripInput& in, const LevelRowsFn& sink) {
  DrawShrunk("caption strip", in.outputWidth, in.stripRows, in.compress, CaptionDrawing(in), sink);
}

}  // namespace plivora
