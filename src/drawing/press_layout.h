// Where the press marks go in the white margin (slug) around a bled image:
// crop marks at the trim corners, a registration mark on each side, the
// lens alignment bar above and below, and the slug line naming the plate
// above. Every mark is placed clear of every other: one that would cross a
// mark placed before it moves aside or is left out (press_layout.cpp says
// which), and the slug line takes the room the marks leave
// (slug_layout.h).
#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "common/numbers.h"

namespace plivora {

// What a margin pixel holds.
enum MarkInk : uint8_t {
  kPaper = 0,
  kRegistration = 1,  // every ink at once
  kCyanInk = 2,
  kMagentaInk = 3,
  kYellowInk = 4,
  kBlackInk = 5,
};

// The slug margin on every side of the bled image, in inches.
inline constexpr Real kSlugInches = 0.5L;

// Between the parts of the slug line.
inline const QString kSlugSeparator = QStringLiteral("  ");

// The plate the marks go around. Positions are the file's columns and rows
// of the marked plate (the caption strip below it is not part of it); the
// lines are pixel edges: the image is columns [imageLeft, imageRight) and
// rows [imageTop, imageBottom).
struct PressMarks {
  int64_t width = 0, rows = 0;
  int64_t imageLeft = 0, imageTop = 0, imageRight = 0, imageBottom = 0;
  int64_t trimLeft = 0, trimTop = 0, trimRight = 0, trimBottom = 0;
  // The full resolution the marks are drawn at, in dots per inch, and the
  // dots a file column and a file row stand for (the compress factor on
  // one of them, 1 on the other).
  Real dpi = 0;
  int columnDots = 1, rowDots = 1;
  bool horizontalLenses = false;
  // Dots of one dark and one light stripe of the alignment bar, across the
  // lenses.
  Real stripePeriod = 0;
  bool fourInks = true;  // the bar in C, M, Y and K; K alone otherwise
  // The slug line as one text, and the same text in its parts (joined by
  // kSlugSeparator, the name first) with the order they are left out in
  // when even the smallest type on several lines cannot hold them all:
  // indexes into slugParts (slug_layout.h). An empty slugParts makes the
  // whole text one part, the name.
  QString slug;
  QStringList slugParts;
  std::vector<int> slugLeaveOut;
};

// Sizes in file pixels of a plate drawn at `dpi` with `columnDots` and
// `rowDots` dots to a column and a row.
struct MarkScale {
  Real dpi = 0;
  int columnDots = 1, rowDots = 1;
  int64_t Columns(Real inches) const;  // rounded to the nearest column
  int64_t Rows(Real inches) const;
};

// File columns [left, right) x rows [top, bottom).
struct PixelBox {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  bool Meets(const PixelBox& o) const {
    return !Empty() && !o.Empty() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
  PixelBox Grown(int64_t columns, int64_t rows) const { return {left - columns, top - rows, right + columns, bottom + rows}; }
  PixelBox Joined(const PixelBox& o) const;
};

// The file pixels a shape inside dots [x0, x1] x [y0, y1] may ink: those
// whose centre lies inside it, or within half a pixel of it. File column
// c's centre is dot (c + 1/2) x columnDots; file row r is dot row
// r x rowDots + rowDots / 2 (the kept row of its group), its centre half a
// dot lower.
PixelBox BoxOfDots(const MarkScale& scale, Real x0, Real y0, Real x1, Real y1);

enum class MarkKind : uint8_t { kCrop, kRegistration, kBar, kSlug };

// One mark and the box holding every pixel it inks.
struct PlacedMark {
  MarkKind kind = MarkKind::kCrop;
  PixelBox box;  // a crop mark fills it whole
  // A band of the alignment bar: its stripes in `ink` fill `box`.
  MarkInk ink = kRegistration;
  // A registration mark: a circle round `centre` (dots) of `radius` dots
  // drawn with a pen `pen` dots wide, crossed by the lines `across` and
  // `along` (file pixels, filled whole).
  QPointF centre;
  qreal radius = 0, pen = 0;
  PixelBox across, along;
  // A line of the slug: `text` from `origin` (the baseline's start, in
  // dots) in type `pixelSize` dots high.
  QString text;
  QPointF origin;
  int pixelSize = 0;
};

// Every mark of a plate in drawing order: crop marks, registration marks,
// the bar's bands, the slug's lines.
struct PressLayout {
  std::vector<PlacedMark> marks;
};

// Places the marks of `m` and its slug line. Needs fonts: makes sure of a
// QGuiApplication (shrunk_drawing.h).
PressLayout LayOutPressMarks(const PressMarks& m);

}  // namespace plivora
