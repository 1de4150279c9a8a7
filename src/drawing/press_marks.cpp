#include "drawing/press_marks.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace plivora {

namespace {

// Sizes of the marks, in inches.
constexpr Real kLine = 1.0L / 288;          // 0.25 pt: crop and registration lines
constexpr Real kCropOffset = 1.0L / 16;     // from the bleed edge to a crop mark
constexpr Real kCropLength = 6 / 25.4L;     // 6 mm
constexpr Real kRegistrationFromImage = 0.25L;  // the registration mark's centre
constexpr Real kRegistrationRadius = 0.1L;
constexpr Real kBarNear = 0.075L, kBarFar = 0.275L;  // the alignment bar, from the image edge
constexpr Real kBarFromTrim = 0.125L;       // clear of the crop marks
constexpr Real kBarFromCentre = 0.15L;      // clear of the registration mark
constexpr Real kSlugTop = 0.46L, kSlugHeight = 0.08L;  // the text line above the image

QColor InkColour(MarkInk ink) { return QColor(ink, ink, ink); }

// The marks' drawing in dots, the plate's full resolution; the painter is
// set up so that file column c is dot c * columnDots and file row r dot
// r * rowDots.
class MarkPainter {
 public:
  MarkPainter(const PressMarks& m, QPainter& p) : m_(m), p_(p) {
    const QRectF clip = p.clipBoundingRect();
    visible_ = clip.isEmpty() ? QRectF(0, 0, 1e18, 1e18) : clip;
  }

  Real xRes() const { return m_.dpi / m_.columnDots; }  // file columns per inch
  Real yRes() const { return m_.dpi / m_.rowDots; }     // file rows per inch
  int64_t Columns(Real inches) const { return Round(inches * xRes()); }
  int64_t Rows(Real inches) const { return Round(inches * yRes()); }

  // File columns [c0, c1) x rows [r0, r1) in `ink`.
  void Fill(int64_t c0, int64_t r0, int64_t c1, int64_t r1, MarkInk ink) {
    if (c1 <= c0 || r1 <= r0) return;
    const QRectF dots(qreal(c0 * m_.columnDots), qreal(r0 * m_.rowDots), qreal((c1 - c0) * m_.columnDots),
                      qreal((r1 - r0) * m_.rowDots));
    if (dots.intersects(visible_)) p_.fillRect(dots, InkColour(ink));
  }

  // A line of the given thickness (at least one pixel) centred on a pixel
  // edge: a vertical one on column edge `c`, a horizontal one on row edge `r`.
  void VerticalLine(int64_t c, int64_t r0, int64_t r1) {
    const int64_t n = std::max<int64_t>(1, Columns(kLine));
    Fill(c - n / 2, r0, c - n / 2 + n, r1, kRegistration);
  }
  void HorizontalLine(int64_t r, int64_t c0, int64_t c1) {
    const int64_t n = std::max<int64_t>(1, Rows(kLine));
    Fill(c0, r - n / 2, c1, r - n / 2 + n, kRegistration);
  }

  void CropMarks() {
    const int64_t offRows = Rows(kCropOffset), lenRows = Rows(kCropLength);
    const int64_t offCols = Columns(kCropOffset), lenCols = Columns(kCropLength);
    for (const int64_t c : {m_.trimLeft, m_.trimRight}) {
      VerticalLine(c, m_.imageTop - offRows - lenRows, m_.imageTop - offRows);
      VerticalLine(c, m_.imageBottom + offRows, m_.imageBottom + offRows + lenRows);
    }
    for (const int64_t r : {m_.trimTop, m_.trimBottom}) {
      HorizontalLine(r, m_.imageLeft - offCols - lenCols, m_.imageLeft - offCols);
      HorizontalLine(r, m_.imageRight + offCols, m_.imageRight + offCols + lenCols);
    }
  }

  // A circle with a cross, centred on the pixel edges (c, r).
  void RegistrationMark(int64_t c, int64_t r) {
    const qreal radius = qreal(kRegistrationRadius * m_.dpi);
    const QPointF centre(qreal(c * m_.columnDots), qreal(r * m_.rowDots));
    const QRectF box(centre - QPointF(radius * 1.5, radius * 1.5), centre + QPointF(radius * 1.5, radius * 1.5));
    if (!box.intersects(visible_)) return;
    // At least a row and a column thick, so that every kept row meets it.
    const qreal pen = std::max<qreal>(qreal(kLine * m_.dpi), qreal(std::max(m_.columnDots, m_.rowDots)));
    p_.setPen(QPen(InkColour(kRegistration), pen));
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(centre, radius, radius);
    const int64_t armCols = Columns(kRegistrationRadius * 1.4L), armRows = Rows(kRegistrationRadius * 1.4L);
    HorizontalLine(r, c - armCols, c + armCols);
    VerticalLine(c, r - armRows, r + armRows);
  }

  void RegistrationMarks() {
    const int64_t cx = (m_.trimLeft + m_.trimRight) / 2, cy = (m_.trimTop + m_.trimBottom) / 2;
    RegistrationMark(cx, m_.imageTop - Rows(kRegistrationFromImage));
    RegistrationMark(cx, m_.imageBottom + Rows(kRegistrationFromImage));
    RegistrationMark(m_.imageLeft - Columns(kRegistrationFromImage), cy);
    RegistrationMark(m_.imageRight + Columns(kRegistrationFromImage), cy);
  }

  // Dark stripes of `ink` across the lenses inside file columns [c0, c1) x
  // rows [r0, r1), counted from the image's edge across the lenses.
  void Stripes(int64_t c0, int64_t r0, int64_t c1, int64_t r1, MarkInk ink) {
    if (c1 <= c0 || r1 <= r0) return;
    // Across the lenses the file's pixels are dots: columns for vertical
    // lenses, rows for horizontal ones.
    const bool h = m_.horizontalLenses;
    const int64_t origin = h ? m_.imageTop : m_.imageLeft;
    int64_t lo = h ? r0 : c0, hi = h ? r1 : c1;
    const Real visibleLo = h ? visible_.top() : visible_.left(), visibleHi = h ? visible_.bottom() : visible_.right();
    const QRectF extent(qreal(c0 * m_.columnDots), qreal(r0 * m_.rowDots), qreal((c1 - c0) * m_.columnDots),
                        qreal((r1 - r0) * m_.rowDots));
    if (!extent.intersects(visible_)) return;
    lo = std::max<int64_t>(lo, int64_t(std::floor(visibleLo)) - 1);
    hi = std::min<int64_t>(hi, int64_t(std::ceil(visibleHi)) + 1);
    const Real half = m_.stripePeriod / 2;
    const auto edge = [&](int64_t j) { return origin + Round(Real(j) * half); };
    for (int64_t j = int64_t(std::floor(Real(lo - origin) / half)) - 1; edge(j) < hi; ++j) {
      if (j % 2 != 0) continue;  // dark stripes start at even edges
      const int64_t a = std::max(edge(j), lo), b = std::min(edge(j + 1), hi);
      if (a >= b) continue;
      if (h)
        Fill(c0, a, c1, b, ink);
      else
        Fill(a, r0, b, r1, ink);
    }
  }

  // Above and below the image, clear of the crop and registration marks:
  // the inks side by side along the lenses (stacked above one another for
  // vertical lenses), in phase, so that a lens shows their bands in line
  // when the inks are in register.
  void AlignmentBar(int64_t r0, int64_t r1) {
    const int64_t cx = (m_.trimLeft + m_.trimRight) / 2;
    const int64_t parts[2][2] = {{m_.trimLeft + Columns(kBarFromTrim), cx - Columns(kBarFromCentre)},
                                 {cx + Columns(kBarFromCentre), m_.trimRight - Columns(kBarFromTrim)}};
    const MarkInk four[] = {kCyanInk, kMagentaInk, kYellowInk, kBlackInk};
    const int inks = m_.fourInks ? 4 : 1;
    for (const auto& part : parts) {
      const int64_t c0 = part[0], c1 = part[1];
      if (c1 <= c0) continue;
      for (int k = 0; k < inks; ++k) {
        const MarkInk ink = m_.fourInks ? four[k] : kBlackInk;
        if (m_.horizontalLenses)
          Stripes(c0 + (c1 - c0) * k / inks, r0, c0 + (c1 - c0) * (k + 1) / inks, r1, ink);
        else
          Stripes(c0, r0 + (r1 - r0) * k / inks, c1, r0 + (r1 - r0) * (k + 1) / inks, ink);
      }
    }
  }

  void AlignmentBars() {
    AlignmentBar(m_.imageTop - Rows(kBarFar), m_.imageTop - Rows(kBarNear));
    AlignmentBar(m_.imageBottom + Rows(kBarNear), m_.imageBottom + Rows(kBarFar));
  }

  void Slug(const QFont& font) {
    const qreal top = qreal((m_.imageTop - Rows(kSlugTop)) * m_.rowDots);
    const qreal height = qreal(kSlugHeight * m_.dpi);
    if (!QRectF(0, top, 1e18, height * 1.5).intersects(visible_)) return;
    p_.setFont(font);
    p_.setPen(InkColour(kRegistration));
    p_.drawText(QPointF(qreal(m_.trimLeft * m_.columnDots), top + height), m_.slug);
  }

 private:
  const PressMarks& m_;
  QPainter& p_;
  QRectF visible_;  // the band being drawn, in dots
};

}  // namespace

Real AlignmentStripePeriod(int64_t dpiE9, int64_t lpiE9) { return Real(dpiE9) / Real(lpiE9) * 51 / 50; }

void DrawPressMarks(const PressMarks& marks, int64_t left, int width, int64_t first, int count, const LevelRowsFn& sink) {
  EnsureGuiApplication();
  QFont font(QStringLiteral("arial"));
  font.setPixelSize(std::max(1, int(Round(kSlugHeight * marks.dpi))));
  font.setStyleStrategy(QFont::NoAntialias);  // pure ink or none
  font.setHintingPreference(QFont::PreferNoHinting);
  const DrawFn draw = [&marks, left, first, font](QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(1.0 / marks.columnDots, 1.0);
    painter.translate(-qreal(left * marks.columnDots), -qreal(first * marks.rowDots));
    MarkPainter m(marks, painter);
    m.CropMarks();
    m.RegistrationMarks();
    m.AlignmentBars();
    m.Slug(font);
  };
  DrawShrunk("press marks", width, count, marks.rowDots, draw, sink);
}

}  // namespace plivora
