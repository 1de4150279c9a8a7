#include "drawing/sheet_drawing.h"

#include <QFont>
#include <QPainter>
#include <algorithm>

namespace plivora {

namespace {

// Lengths on the sheet, in inches, turned into full-resolution pixels.
int Px(Real inches, Real dpi) { return int(Round(inches * dpi)); }

QFont SheetFont(Real inches, Real dpi) {
  QFont font(QStringLiteral("arial"));
  font.setPixelSize(std::max(1, Px(inches, dpi)));
  // Hard edges, as in the caption strip: pure ink or none.
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// One ruler across the sheet: a tick every `minor` inches, longer ones at
// every `half`-th and `whole`-th tick, the whole ones numbered.
void DrawRuler(QPainter& painter, Real dpi, int width, Real top, Real minor, int half, int whole, const QString& unit) {
  const int line = std::max(1, Px(1 / 400.0L, dpi));  // 0.0025 inch
  painter.setFont(SheetFont(0.07L, dpi));
  painter.fillRect(QRect(0, Px(top, dpi), width, line), Qt::white);
  for (int64_t k = 0;; ++k) {
    const int x = Px(Real(k) * minor, dpi);
    if (x + line > width) break;
    const Real length = k % whole == 0 ? 0.18L : k % half == 0 ? 0.12L : 0.07L;
    painter.fillRect(QRect(x, Px(top, dpi), line, Px(length, dpi)), Qt::white);
    if (k % whole == 0)
      painter.drawText(QPoint(x + 2 * line + Px(0.01L, dpi), Px(top + 0.17L, dpi)),
                       k == 0 ? unit : QString::number(k / whole));
  }
}

}  // namespace

void DrawSheetHeader(QPainter& painter, const QString& text, int width, Real dpi) {
  painter.setPen(Qt::white);
  painter.setFont(SheetFont(0.16L, dpi));
  painter.drawText(QPoint(Px(0.1L, dpi), Px(0.2L, dpi)), text);
  DrawRuler(painter, dpi, width, 0.3L, 0.1L, 5, 10, QStringLiteral("inch"));
  DrawRuler(painter, dpi, width, 0.5L, 1 / 25.4L, 5, 10, QStringLiteral("cm"));
}

void DrawStripLabel(QPainter& painter, const QString& label, bool nominal, Real dpi) {
  painter.setPen(Qt::white);
  painter.setFont(SheetFont(0.16L, dpi));
  if (nominal) painter.fillRect(QRect(Px(0.1L, dpi), Px(0.05L, dpi), Px(0.1L, dpi), Px(0.1L, dpi)), Qt::white);
  const QString text = nominal ? label + QStringLiteral("   nominal") : label;
  painter.drawText(QPoint(Px(0.3L, dpi), Px(0.16L, dpi)), text);
}


}  // namespace plivora
