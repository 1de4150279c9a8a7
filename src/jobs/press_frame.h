// The plate as the press gets it: the bled image, and with marks a slug
// margin around it holding the press marks (drawing/press_marks.h). Plans
// where everything goes and hands out the margin's pixels row by row in
// the plate's form.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "colour/plate_colour.h"
#include "drawing/press_marks.h"
#include "interlace/export_geometry.h"

namespace plivora {

// The frame of a plate of `p`'s geometry `plate`; without `marks` it is
// the image alone (no margin). `slug` is the text line above the image.
// Refuses a marked plate whose rows or columns no TIFF holds.
PressMarks PlanPressFrame(const ExportParameters& p, const PlateGeometry& plate, bool marks, PlateColour colour,
                          const QString& slug);

// "card.tif  4000 dpi  75.5555555555555 lpi  151 lenses  grey  trim 2 x 3 in  bleed 0.125 in".
QString SlugText(const QString& name, const ExportParameters& p, const ExportTexts& texts, int64_t lensCount,
                 PlateColour colour);

// A slug line's parts, as SlugText joins them by kSlugSeparator, in this
// order; the bleed only when there is one. Empty for a text of another
// form.
enum SlugPart { kSlugName, kSlugDpi, kSlugLpi, kSlugLenses, kSlugColour, kSlugTrim, kSlugBleed };
QStringList SplitSlug(const QString& slug);

// The margin's pixels, four bytes each, in the plate's colours; the marks
// are laid out once, when it is made.
class PressFrameRows {
 public:
  PressFrameRows(const PressMarks& frame, PlateColour colour);

  // Draws the margins beside the image (left and right), kept where they
  // hold a mark; the rest is paper.
  void DrawSides();
  // Rows [first, first + count) of the frame, whole, to `sink` a row at a
  // time (file pixels, four bytes each).
  void DrawRows(int64_t first, int count, const std::function<void(const uint8_t* row)>& sink) const;
  // Image row r's file row: its margins around `image` (the image's width
  // in pixels, four bytes each), into `row`.
  void AssembleRow(int64_t r, const uint8_t* image, uint8_t* row) const;

 private:
  const PressMarks& frame_;
  const PressLayout layout_;
  std::array<uint8_t, 256 * 4> palette_{};
  std::vector<uint8_t> paperLeft_, paperRight_;
  std::map<int64_t, std::vector<uint8_t>> left_, right_;  // image rows with marks beside them: their pixels
};

}  // namespace plivora
