#include "drawing/press_layout.h"

#include <algorithm>

#include "drawing/slug_layout.h"

namespace plivora {

namespace {

// Sizes of the marks, in inches.
constexpr Real kLine = 1.0L / 288;              // 0.25 pt: crop and registration lines
constexpr Real kCropOffset = 1.0L / 16;         // from the bleed edge to a crop mark
constexpr Real kCropLength = 6 / 25.4L;         // 6 mm
constexpr Real kRegistrationFromImage = 0.25L;  // the registration mark's centre
constexpr Real kRegistrationRadius = 0.1L;
constexpr Real kArm = 1.4L;                          // the cross's half length, in radii
constexpr Real kBarNear = 0.075L, kBarFar = 0.275L;  // the alignment bar, from the image edge
constexpr Real kBarFromTrim = 0.125L;                // clear of the crop marks
constexpr Real kBarFromCentre = 0.15L;               // clear of the registration mark
constexpr Real kClearance = 1.0L / 128;              // between a moved mark and its neighbours

int64_t Floor(Real v) {
  const int64_t t = Trunc(v);
  return Real(t) > v ? t - 1 : t;
}

int64_t Ceil(Real v) {
  const int64_t t = Trunc(v);
  return Real(t) < v ? t + 1 : t;
}

// Places the marks one after another, each clear of those before it.
class MarkPlacer {
 public:
  explicit MarkPlacer(const PressMarks& m) : m_(m), s_{m.dpi, m.columnDots, m.rowDots} {}

  // A line of the given thickness (at least one pixel) centred on a pixel
  // edge: a vertical one on column edge `c`, a horizontal one on row edge `r`.
  PixelBox VerticalLine(int64_t c, int64_t r0, int64_t r1) const {
    const int64_t n = std::max<int64_t>(1, s_.Columns(kLine));
    return {c - n / 2, r0, c - n / 2 + n, r1};
  }
  PixelBox HorizontalLine(int64_t r, int64_t c0, int64_t c1) const {
    const int64_t n = std::max<int64_t>(1, s_.Rows(kLine));
    return {c0, r - n / 2, c1, r - n / 2 + n};
  }

  // The crop marks, on the extensions of the trim lines: above and below
  // the image on the trim's columns, beside it on its rows.
  void CropMarks() {
    const int64_t offRows = s_.Rows(kCropOffset), lenRows = s_.Rows(kCropLength);
    const int64_t offCols = s_.Columns(kCropOffset), lenCols = s_.Columns(kCropLength);
    for (const int64_t c : {m_.trimLeft, m_.trimRight}) {
      Crop(VerticalLine(c, m_.imageTop - offRows - lenRows, m_.imageTop - offRows));
      Crop(VerticalLine(c, m_.imageBottom + offRows, m_.imageBottom + offRows + lenRows));
    }
    for (const int64_t r : {m_.trimTop, m_.trimBottom}) {
      Crop(HorizontalLine(r, m_.imageLeft - offCols - lenCols, m_.imageLeft - offCols));
      Crop(HorizontalLine(r, m_.imageRight + offCols, m_.imageRight + offCols + lenCols));
    }
  }

  // A circle with a cross, centred on the pixel edges (c, r).
  PlacedMark RegistrationMark(int64_t c, int64_t r) const {
    PlacedMark mark;
    mark.kind = MarkKind::kRegistration;
    mark.radius = qreal(kRegistrationRadius * m_.dpi);
    // At least a row and a column thick, so that every kept row meets it.
    mark.pen = std::max<qreal>(qreal(kLine * m_.dpi), qreal(std::max(m_.columnDots, m_.rowDots)));
    mark.centre = QPointF(qreal(c * m_.columnDots), qreal(r * m_.rowDots));
    const int64_t armCols = s_.Columns(kRegistrationRadius * kArm), armRows = s_.Rows(kRegistrationRadius * kArm);
    mark.across = HorizontalLine(r, c - armCols, c + armCols);
    mark.along = VerticalLine(c, r - armRows, r + armRows);
    const Real reach = Real(mark.radius) + Real(mark.pen) / 2;
    const Real x = Real(mark.centre.x()), y = Real(mark.centre.y());
    mark.box = BoxOfDots(s_, x - reach, y - reach, x + reach, y + reach).Joined(mark.across).Joined(mark.along);
    return mark;
  }

  // Centred on each side; a side too short to hold the mark between its
  // crop marks has it just beside them instead, turning clockwise round
  // the plate (the top one to the right, the right one below, the bottom
  // one to the left, the left one above), so that no two moved marks meet
  // in a corner.
  void RegistrationMarks() {
    const int64_t cx = (m_.trimLeft + m_.trimRight) / 2, cy = (m_.trimTop + m_.trimBottom) / 2;
    const int64_t gapCols = std::max<int64_t>(1, s_.Columns(kClearance));
    const int64_t gapRows = std::max<int64_t>(1, s_.Rows(kClearance));
    const int64_t top = m_.imageTop - s_.Rows(kRegistrationFromImage);
    const int64_t bottom = m_.imageBottom + s_.Rows(kRegistrationFromImage);
    const int64_t left = m_.imageLeft - s_.Columns(kRegistrationFromImage);
    const int64_t right = m_.imageRight + s_.Columns(kRegistrationFromImage);
    // `aside` places the mark anew from the box it has centred.
    const auto place = [&](int64_t c, int64_t r, const auto& aside) {
      const PlacedMark centred = RegistrationMark(c, r);
      Place(Clear(centred.box) ? centred : aside(centred.box));
    };
    place(cx, top, [&](const PixelBox& b) { return RegistrationMark(CropRight() + gapCols + (cx - b.left), top); });
    place(cx, bottom, [&](const PixelBox& b) { return RegistrationMark(CropLeft() - gapCols - (b.right - cx), bottom); });
    place(left, cy, [&](const PixelBox& b) { return RegistrationMark(left, CropTop() - gapRows - (b.bottom - cy)); });
    place(right, cy, [&](const PixelBox& b) { return RegistrationMark(right, CropBottom() + gapRows + (cy - b.top)); });
  }

  // Above and below the image, between the crop marks and the registration
  // mark: the inks side by side along the lenses (stacked above one another
  // for vertical lenses), in phase, so that a lens shows their bands in
  // line when the inks are in register.
  void AlignmentBar(int64_t r0, int64_t r1) {
    const int64_t cx = (m_.trimLeft + m_.trimRight) / 2;
    const int64_t parts[2][2] = {{m_.trimLeft + s_.Columns(kBarFromTrim), cx - s_.Columns(kBarFromCentre)},
                                 {cx + s_.Columns(kBarFromCentre), m_.trimRight - s_.Columns(kBarFromTrim)}};
    const MarkInk four[] = {kCyanInk, kMagentaInk, kYellowInk, kBlackInk};
    const int inks = m_.fourInks ? 4 : 1;
    for (const auto& part : parts) {
      const int64_t c0 = part[0], c1 = part[1];
      if (c1 <= c0) continue;
      for (int k = 0; k < inks; ++k) {
        PlacedMark band;
        band.kind = MarkKind::kBar;
        band.ink = m_.fourInks ? four[k] : kBlackInk;
        if (m_.horizontalLenses)
          band.box = {c0 + (c1 - c0) * k / inks, r0, c0 + (c1 - c0) * (k + 1) / inks, r1};
        else
          band.box = {c0, r0 + (r1 - r0) * k / inks, c1, r0 + (r1 - r0) * (k + 1) / inks};
        Place(band);
      }
    }
  }

  void AlignmentBars() {
    AlignmentBar(m_.imageTop - s_.Rows(kBarFar), m_.imageTop - s_.Rows(kBarNear));
    AlignmentBar(m_.imageBottom + s_.Rows(kBarNear), m_.imageBottom + s_.Rows(kBarFar));
  }

  PressLayout Take() { return std::move(layout_); }

 private:
  bool Clear(const PixelBox& box) const {
    return std::none_of(layout_.marks.begin(), layout_.marks.end(),
                        [&](const PlacedMark& placed) { return placed.box.Meets(box); });
  }
  // A mark that would cross one placed before it is left out: on plates
  // too small or too coarse for the marks to keep apart.
  void Place(const PlacedMark& mark) {
    if (!mark.box.Empty() && Clear(mark.box)) layout_.marks.push_back(mark);
  }
  void Crop(const PixelBox& line) {
    PlacedMark mark;
    mark.box = line;
    Place(mark);
  }
  // The outer edges of the crop marks above and beside the image.
  int64_t CropRight() const { return VerticalLine(m_.trimRight, 0, 1).right; }
  int64_t CropLeft() const { return VerticalLine(m_.trimLeft, 0, 1).left; }
  int64_t CropTop() const { return HorizontalLine(m_.trimTop, 0, 1).top; }
  int64_t CropBottom() const { return HorizontalLine(m_.trimBottom, 0, 1).bottom; }

  const PressMarks& m_;
  const MarkScale s_;
  PressLayout layout_;
};

}  // namespace

int64_t MarkScale::Columns(Real inches) const { return Round(inches * (dpi / columnDots)); }
int64_t MarkScale::Rows(Real inches) const { return Round(inches * (dpi / rowDots)); }

PixelBox PixelBox::Joined(const PixelBox& o) const {
  if (Empty()) return o;
  if (o.Empty()) return *this;
  return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
}

PixelBox BoxOfDots(const MarkScale& scale, Real x0, Real y0, Real x1, Real y1) {
  // A pixel is inked when its centre lies inside the shape; half a pixel
  // more on every side holds the shape's flattened curves.
  const Real cd = scale.columnDots, rd = scale.rowDots, kept = Real(scale.rowDots / 2);
  return {Ceil(x0 / cd) - 1, Ceil((y0 - 1 - kept) / rd), Floor(x1 / cd) + 1, Floor((y1 - kept) / rd) + 1};
}

PressLayout LayOutPressMarks(const PressMarks& m) {
  MarkPlacer placer(m);
  placer.CropMarks();
  placer.RegistrationMarks();
  placer.AlignmentBars();
  PressLayout layout = placer.Take();
  LayOutSlug(m, layout);
  return layout;
}

}  // namespace plivora
