#include "drawing/press_marks.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "drawing/slug_layout.h"

namespace plivora {

namespace {

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

  void Draw(const PlacedMark& mark) {
    if (!Dots(mark.box).intersects(visible_)) return;
    switch (mark.kind) {
      case MarkKind::kCrop:
        Fill(mark.box, kRegistration);
        break;
      case MarkKind::kRegistration:
        RegistrationMark(mark);
        break;
      case MarkKind::kBar:
        Stripes(mark.box, mark.ink);
        break;
      case MarkKind::kSlug:
        Slug(mark);
        break;
    }
  }

 private:
  QRectF Dots(const PixelBox& b) const {
    return QRectF(qreal(b.left * m_.columnDots), qreal(b.top * m_.rowDots), qreal((b.right - b.left) * m_.columnDots),
                  qreal((b.bottom - b.top) * m_.rowDots));
  }

  void Fill(const PixelBox& b, MarkInk ink) {
    if (b.Empty()) return;
    const QRectF dots = Dots(b);
    if (dots.intersects(visible_)) p_.fillRect(dots, InkColour(ink));
  }

  void RegistrationMark(const PlacedMark& mark) {
    p_.setPen(QPen(InkColour(kRegistration), mark.pen));
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(mark.centre, mark.radius, mark.radius);
    Fill(mark.across, kRegistration);
    Fill(mark.along, kRegistration);
  }

  // Dark stripes of `ink` across the lenses inside `b`, counted from the
  // image's edge across the lenses.
  void Stripes(const PixelBox& b, MarkInk ink) {
    // Across the lenses the file's pixels are dots: columns for vertical
    // lenses, rows for horizontal ones.
    const bool h = m_.horizontalLenses;
    const int64_t origin = h ? m_.imageTop : m_.imageLeft;
    int64_t lo = h ? b.top : b.left, hi = h ? b.bottom : b.right;
    const Real visibleLo = h ? visible_.top() : visible_.left(), visibleHi = h ? visible_.bottom() : visible_.right();
    lo = std::max<int64_t>(lo, int64_t(std::floor(visibleLo)) - 1);
    hi = std::min<int64_t>(hi, int64_t(std::ceil(visibleHi)) + 1);
    const Real half = m_.stripePeriod / 2;
    const auto edge = [&](int64_t j) { return origin + Round(Real(j) * half); };
    for (int64_t j = int64_t(std::floor(Real(lo - origin) / half)) - 1; edge(j) < hi; ++j) {
      if (j % 2 != 0) continue;  // dark stripes start at even edges
      const int64_t a = std::max(edge(j), lo), c = std::min(edge(j + 1), hi);
      if (a >= c) continue;
      if (h)
        Fill({b.left, a, b.right, c}, ink);
      else
        Fill({a, b.top, c, b.bottom}, ink);
    }
  }

  void Slug(const PlacedMark& line) {
    p_.setFont(SlugFont(line.pixelSize));
    p_.setPen(InkColour(kRegistration));
    p_.drawText(line.origin, line.text);
  }

  const PressMarks& m_;
  QPainter& p_;
  QRectF visible_;  // the band being drawn, in dots
};

}  // namespace

Real AlignmentStripePeriod(int64_t dpiE9, int64_t lpiE9) { return Real(dpiE9) / Real(lpiE9) * 51 / 50; }

void DrawPressMarks(const PressMarks& marks, const PressLayout& layout, int64_t left, int width, int64_t first,
                    int count, const LevelRowsFn& sink) {
  EnsureGuiApplication();
  const DrawFn draw = [&marks, &layout, left, first](QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(1.0 / marks.columnDots, 1.0);
    painter.translate(-qreal(left * marks.columnDots), -qreal(first * marks.rowDots));
    MarkPainter m(marks, painter);
    for (const PlacedMark& mark : layout.marks) m.Draw(mark);
  };
  DrawShrunk("press marks", width, count, marks.rowDots, draw, sink);
}

PixelBox InkedBox(const PressMarks& marks, const PlacedMark& mark, const PixelBox& window) {
  PlacedMark alone = mark;
  alone.box = window;  // drawn in every band of the window
  PixelBox ink;
  const int width = int(window.right - window.left);
  DrawPressMarks(marks, PressLayout{{alone}}, window.left, width, window.top, int(window.bottom - window.top),
                 [&](const uint8_t* inks, int first, int count) {
                   for (int r = 0; r < count; ++r) {
                     const uint8_t* row = inks + size_t(r) * size_t(width);
                     const auto inked = [](uint8_t i) { return i != kPaper; };
                     const uint8_t* a = std::find_if(row, row + width, inked);
                     if (a == row + width) continue;
                     const uint8_t* b = std::find_if(std::make_reverse_iterator(row + width),
                                                     std::make_reverse_iterator(row), inked).base();
                     const int64_t y = window.top + first + r;
                     ink = ink.Joined({window.left + (a - row), y, window.left + (b - row), y + 1});
                   }
                 });
  return ink;
}

}  // namespace plivora
