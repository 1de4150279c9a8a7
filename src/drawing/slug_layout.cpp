#include "drawing/slug_layout.h"

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>
#include <iterator>

#include "drawing/press_marks.h"
#include "drawing/shrunk_drawing.h"

namespace plivora {

namespace {

constexpr Real kSlugTop = 0.46L;                   // the usual line's type top, above the image
constexpr Real kTypes[] = {0.08L, 0.065L, 0.05L};  // type sizes tried, in inches
constexpr Real kClearance = 1.0L / 128;            // from the marks and the plate's edge

// A type size and what it measures.
struct Type {
  int pixelSize;
  QFontMetricsF metrics;
  explicit Type(int size) : pixelSize(size), metrics(SlugFont(size)) {}
};

// A stretch of one line's columns free for text, [left, right).
struct Span {
  int64_t left, right;
  Real baseline;  // dots
};

class SlugPlacer {
 public:
  SlugPlacer(const PressMarks& m, const PressLayout& marks)
      : m_(m),
        s_{m.dpi, m.columnDots, m.rowDots},
        marks_(marks.marks),
        gapCols_(std::max<int64_t>(1, s_.Columns(kClearance))),
        gapRows_(std::max<int64_t>(1, s_.Rows(kClearance))) {
    // The room runs down to the highest crop mark or bar band above the
    // image; a registration mark there is stepped round.
    roomBottom_ = m.imageTop;
    for (const PlacedMark& mark : marks_)
      if (mark.kind != MarkKind::kRegistration && mark.box.bottom <= m.imageTop)
        roomBottom_ = std::min(roomBottom_, mark.box.top);
    roomBottom_ -= gapRows_;
  }

  // The line as it always was, when it lies inside the margin and clear of
  // every mark.
  bool UsualLine(std::vector<PlacedMark>& lines) const {
    const Type type(std::max(1, int(Round(kTypes[0] * m_.dpi))));
    const qreal top = qreal((m_.imageTop - s_.Rows(kSlugTop)) * m_.rowDots);
    PlacedMark line = Line(type, m_.slug, QPointF(qreal(m_.trimLeft * m_.columnDots), top + qreal(kTypes[0] * m_.dpi)));
    if (!Measure(line)) return false;
    const PixelBox& b = line.box;
    if (b.left < 0 || b.top < 0 || b.right > m_.width || b.bottom > m_.imageTop || !Clear(b, 0, 0)) return false;
    lines.push_back(line);
    return true;
  }

  // `parts` on the lines of the room in type `size` (inches), each part
  // whole and on one line; `elide` shortens the first part to a line.
  // Measured by the fonts' figures, then checked by drawing each line.
  bool Set(Real size, const QStringList& parts, bool elide, std::vector<PlacedMark>& lines) const {
    const Type type(std::max(1, int(Round(size * m_.dpi))));
    const std::vector<Span> spans = Spans(type);
    std::vector<Span> used;
    size_t at = 0;
    QString text;
    const auto close = [&] {
      if (!text.isEmpty()) {
        lines.push_back(Placed(type, text, spans[at]));
        used.push_back(spans[at]);
      }
      text.clear();
    };
    for (int k = 0; k < parts.size();) {
      if (at == spans.size()) return false;
      QString part = parts[k];
      if (k == 0 && elide) part = Elided(type, part, spans[at]);
      const QString longer = text.isEmpty() ? part : text + kSlugSeparator + part;
      if (!part.isEmpty() && Fits(type, longer, spans[at])) {
        text = longer;
        ++k;
        continue;
      }
      close();
      ++at;
    }
    close();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (!Measure(lines[i])) return false;
      const PixelBox& b = lines[i].box;
      const bool inside = b.left >= used[i].left && b.right <= used[i].right && b.top >= 0 && b.bottom <= roomBottom_;
      if (!inside || !Clear(b, gapCols_, gapRows_)) return false;
      for (size_t j = 0; j < i; ++j)
        if (lines[j].box.Meets(b)) return false;
    }
    return true;
  }

 private:
  PlacedMark Line(const Type& type, const QString& text, QPointF origin) const {
    PlacedMark line;
    line.kind = MarkKind::kSlug;
    line.text = text;
    line.origin = origin;
    line.pixelSize = type.pixelSize;
    // The advance and the ink as the fonts' figures give them; Measure
    // draws the line to be sure.
    const QRectF r = type.metrics.tightBoundingRect(text).united(type.metrics.boundingRect(text));
    line.box = BoxOfDots(s_, Real(origin.x()) + Real(r.left()), Real(origin.y()) + Real(r.top()),
                         Real(origin.x()) + Real(r.right()), Real(origin.y()) + Real(r.bottom()));
    return line;
  }

  // Draws `line` alone and takes the box of its ink for its own: the
  // fonts' figures miss some glyphs of the fonts that stand in for
  // missing ones. False when the ink may reach past a margin of one type
  // size round the figures.
  bool Measure(PlacedMark& line) const {
    const PixelBox window = line.box.Grown(std::max<int64_t>(2, line.pixelSize / m_.columnDots),
                                           std::max<int64_t>(2, line.pixelSize / m_.rowDots));
    const PixelBox ink = InkedBox(m_, line, window);
    if (ink.Empty()) return true;
    if (ink.left == window.left || ink.top == window.top || ink.right == window.right || ink.bottom == window.bottom)
      return false;
    line.box = ink;
    return true;
  }

  // `text` set from the span's left edge.
  PlacedMark Placed(const Type& type, const QString& text, const Span& span) const {
    const PlacedMark probe = Line(type, text, QPointF(0, qreal(span.baseline)));
    const qreal shift = qreal(Real(span.left - probe.box.left) * m_.columnDots);
    return Line(type, text, QPointF(shift, qreal(span.baseline)));
  }

  bool Fits(const Type& type, const QString& text, const Span& span) const {
    return Placed(type, text, span).box.right <= span.right;
  }

  // `name` shortened in its middle to fit `span`; empty when not even that fits.
  QString Elided(const Type& type, const QString& name, const Span& span) const {
    Real width = Real(span.right - span.left) * m_.columnDots;
    for (int tries = 0; tries < 20 && width > 0; ++tries) {
      const QString shorter = type.metrics.elidedText(name, Qt::ElideMiddle, qreal(width));
      if (shorter.isEmpty()) break;
      if (Fits(type, shorter, span)) return shorter;
      width -= std::max(Real(m_.columnDots), width / 32);
    }
    return QString();
  }

  // The free stretches of the lines the room holds in `type`, top line
  // first, each left to right.
  std::vector<Span> Spans(const Type& type) const {
    std::vector<Span> spans;
    const Real ascent = Real(type.metrics.ascent()), height = ascent + Real(type.metrics.descent());
    for (Real top = Real(gapRows_ * m_.rowDots);; top += height) {
      const PixelBox rows = BoxOfDots(s_, 0, top, 0, top + height);
      if (rows.bottom > roomBottom_) break;
      std::vector<std::pair<int64_t, int64_t>> free{{gapCols_, m_.width - gapCols_}};
      for (const PlacedMark& mark : marks_) {
        const PixelBox b = mark.box.Grown(gapCols_, gapRows_);
        if (b.top >= rows.bottom || rows.top >= b.bottom) continue;
        std::vector<std::pair<int64_t, int64_t>> cut;
        for (const auto& [l, r] : free) {
          if (b.left > l) cut.emplace_back(l, std::min(r, b.left));
          if (b.right < r) cut.emplace_back(std::max(l, b.right), r);
        }
        free.clear();
        for (const auto& f : cut)
          if (f.first < f.second) free.push_back(f);
      }
      for (const auto& [l, r] : free) spans.push_back({l, r, top + ascent});
    }
    return spans;
  }

  bool Clear(const PixelBox& box, int64_t gapCols, int64_t gapRows) const {
    return std::none_of(marks_.begin(), marks_.end(),
                        [&](const PlacedMark& mark) { return mark.box.Grown(gapCols, gapRows).Meets(box); });
  }

  const PressMarks& m_;
  const MarkScale s_;
  const std::vector<PlacedMark>& marks_;
  const int64_t gapCols_, gapRows_;
  int64_t roomBottom_ = 0;
};

// One try at setting the slug: its type size, how many parts of the
// leave-out order it leaves out, and what becomes of the name.
struct Step {
  Real size;
  size_t leftOut;
  bool elide, name;
};

// The tries in order: the type smaller and smaller; then in the smallest
// type the parts left out one by one; then the same with the name
// shortened; and last without the name (one that no line of the room
// holds even shortened, its glyphs towering over the line).
std::vector<Step> Steps(size_t parts) {
  std::vector<Step> steps;
  for (const Real size : kTypes) steps.push_back({size, 0, false, true});
  const Real smallest = kTypes[std::size(kTypes) - 1];
  for (size_t count = 1; count <= parts; ++count) steps.push_back({smallest, count, false, true});
  for (size_t count = 0; count <= parts; ++count) steps.push_back({smallest, count, true, true});
  for (size_t count = 0; count < parts; ++count) steps.push_back({smallest, count, false, false});
  return steps;
}

// The parts a step keeps, without the empty ones.
QStringList Kept(const PressMarks& m, const QStringList& parts, const Step& step) {
  const auto out = m.slugLeaveOut.begin(), end = out + ptrdiff_t(step.leftOut);
  QStringList kept;
  for (int k = step.name ? 0 : 1; k < parts.size(); ++k)
    if (!parts[k].isEmpty() && std::find(out, end, k) == end) kept.push_back(parts[k]);
  return kept;
}

}  // namespace

QFont SlugFont(int pixelSize) {
  QFont font(QStringLiteral("arial"));
  font.setPixelSize(pixelSize);
  font.setStyleStrategy(QFont::NoAntialias);  // pure ink or none
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

void LayOutSlug(const PressMarks& m, PressLayout& layout) {
  if (m.slug.isEmpty()) return;
  EnsureGuiApplication();  // fonts
  const SlugPlacer placer(m, layout);
  std::vector<PlacedMark> lines;
  if (!placer.UsualLine(lines)) {
    const QStringList parts = m.slugParts.isEmpty() ? QStringList{m.slug} : m.slugParts;
    const size_t leaveOut = m.slugParts.isEmpty() ? 0 : m.slugLeaveOut.size();
    for (const Step& step : Steps(leaveOut)) {
      lines.clear();
      const QStringList kept = Kept(m, parts, step);
      if (!kept.isEmpty() && placer.Set(step.size, kept, step.elide, lines)) break;
      lines.clear();
    }
  }
  layout.marks.insert(layout.marks.end(), lines.begin(), lines.end());
}

}  // namespace plivora
