// The export's parameters and geometry: from the texts of the parameter
// fields to every size and step the row loop needs, all computed and checked
// before the output file is created.
//
// Fixed-point forms: LpiE9 and DpiE9 are lines and dots per inch * 10^9,
// WidthE4 and HeightE4 inches * 10^4, column and row steps * 10^9, the view
// step * 10^8.
#pragma once

#include <QChar>
#include <QString>
#include <cstdint>
#include <vector>

#include "common/numbers.h"

namespace plivora {

// The parameter fields as the user typed them.
struct ExportTexts {
  QString dpi = QStringLiteral("4000");  // or "(Auto)"
  QString lpi = QStringLiteral("75.5555555555555");
  QString width = QStringLiteral("2");
  QString height = QStringLiteral("3");
  QString compress = QStringLiteral("10");
  // Added on every side of the width and height, which are then the trim
  // size: the image is interlaced at the bled size.
  QString bleed = QStringLiteral("0");
  bool inch = false;  // the unit of width, height and bleed; cm otherwise
  QChar decimalSeparator = QChar('.');  // accepted besides "."
};

struct ExportParameters {
  int photoCount = 0;  // 1..255
  int64_t lpiE9 = 0;
  int64_t dpiE9 = 0;
  int64_t widthE4 = 0;   // the interlaced image: the trim size and the bleed on both sides
  int64_t heightE4 = 0;
  int compress = 1;  // 1..255
  int64_t bleedE4 = 0;  // on every side; 0 for a plate without bleed
  int64_t TrimWidthE4() const { return widthE4 - 2 * bleedE4; }
  int64_t TrimHeightE4() const { return heightE4 - 2 * bleedE4; }
};

// The conversions of the parameter texts, in the export's arithmetic. Each
// raises the runtime's conversion error for a text that is not a number
// ("'x' is not a valid floating point value"), and "Invalid floating point
// operation" for a value past 64 bits.
// A DPI or LPI text as dots or lines per inch * 10^9.
int64_t PerInchE9(const QString& text, QChar decimalSeparator = QChar('.'));
// A width or height text as inches * 10^4, the text in inches or in cm.
int64_t LengthE4(const QString& text, bool inch, QChar decimalSeparator = QChar('.'));
// The compress factor: the integer's low eight bits, 0 taken as 1 (266
// gives 10, -1 gives 255).
int CompressFactor(const QString& text);

// A bleed text in inches * 10^4: a number in the plate's unit, or with
// its own ("3mm", "0.3cm", "0.125in"), from 0 to 10 inches. Raises "The
// bleed "TEXT" must be a length from 0 to 10 inches, ..." otherwise.
int64_t BleedE4(const QString& text, bool inch, QChar decimalSeparator = QChar('.'));

// Converts the texts in the order the export reads them. Raises the
// conversion error of the first text that is not a number, and refuses a
// series of 0 or more than 255 views.
ExportParameters ParseParameters(const ExportTexts& texts, int viewCount);

// Rows of the caption strip: 0.2 inch at a resolution of dpiE9 / compress
// (across horizontal lenses, at the full DPI: compress 1).
int64_t CaptionStripRows(int64_t dpiE9, int compress);

// Refuses a file of width x rows pixels that no TIFF holds (rows and
// columns past 32 bits, a row past addressing): "An output of W x H pixels
// WHAT does not fit a TIFF file; ...", WHAT " with its marks", say.
void CheckTiffPixels(int64_t width, int64_t rows, const QString& what = {});

// The plate's first figures, which need no view: its lenses and pixels.
// Each may come out 0 (a plate narrower than a lens, lower than a row).
struct PlateExtent {
  int64_t lensCount = 0;
  int64_t outputWidth = 0;  // pixels per row
  int64_t printRows = 0;    // rows the print needs
  int64_t outputRows = 0;   // interlaced image rows in the file
};

// Raises the arithmetic errors: "Floating point division by zero" for an
// LPI of 0, "Invalid floating point operation" for figures past 64 bits.
PlateExtent ComputeExtent(const ExportParameters& p);

struct ExportGeometry {
  uint32_t minViewWidth = 0, minViewHeight = 0;  // the sampling grid
  int64_t lensCount = 0;
  int64_t outputWidth = 0;  // pixels per row
  int64_t printRows = 0;    // rows the print needs
  int64_t outputRows = 0;   // interlaced image rows in the file
  int64_t rowStepE9 = 0;
  int64_t columnStepE9 = 0;
  int64_t stripRows = 0;    // caption strip rows
  int64_t viewStepE8 = 0;
  int64_t yResolutionE9 = 0;  // the file's vertical resolution

  int64_t fileRows() const { return outputRows + stripRows; }
  // Source column of output column i, held inside the sampling grid.
  uint32_t SourceColumn(int64_t i) const;
  // Source row of image row r, held inside the sampling grid.
  uint32_t SourceRow(int64_t r) const;
};

// The geometry for a series whose smallest view is minWidth x minHeight.
// Raises the arithmetic errors of a zero divisor, and refuses sizes no TIFF
// holds (empty, or rows and columns past 32 bits). Whether the file fits
// its form (4 GiB for a classic TIFF) is the writer's question.
ExportGeometry ComputeGeometry(const ExportParameters& p, uint32_t minWidth, uint32_t minHeight);

// Which view each output column shows. viewIndex has outputWidth + 1
// entries (the last is always photoCount - 1); viewFraction, from 0 to
// 10000, is how far column i lies from its view towards the next.
struct ColumnViewMap {
  std::vector<int32_t> viewIndex;
  std::vector<int32_t> viewFraction;
};

// The map with the lens pattern moved `shift` columns on (a phase): column
// i, the last entry's index included, takes what position i - shift has in
// the unshifted map; positions before 0 continue the pattern, their view
// position taken modulo photoCount. The source columns do not move.
ColumnViewMap BuildColumnViewMap(const ExportGeometry& g, int photoCount, int64_t shift = 0);

// The columns a phase of `phase` lenses (0 <= phase < 1) moves the pattern:
// round(phase x DPI / LPI), as the phase sheet moves its strips.
int64_t PhaseShift(const ExportParameters& p, Real phase);

// The direction of the lenses on the print: vertical lenses are the
// classic plate; horizontal ones (flip, zoom, morph) show every view to
// both eyes at once.
enum class Lenses { kVertical, kHorizontal };

// The file of an export: the lens geometry and where its pixels go.
//
// A horizontal-lens plate is the vertical plate of the views turned a
// quarter turn and turned back: `lens` is the geometry of that turned
// export (width and height swapped, views transposed), so its columns are
// the file's image rows and its rows the file's columns; the compress
// factor applies to the columns, and the caption strip, 0.2 inch at the
// full DPI, still runs across the bottom of the file.
struct PlateGeometry {
  Lenses lenses = Lenses::kVertical;
  ExportGeometry lens;       // in lens space: outputWidth across the lenses, outputRows along them
  int64_t width = 0;         // pixels per file row
  int64_t imageRows = 0;     // interlaced rows
  int64_t stripRows = 0;     // caption strip rows
  int64_t xResolutionE9 = 0, yResolutionE9 = 0;
  int stripCompress = 1;     // the caption's vertical squeeze (1 across horizontal lenses)
  int columnSqueeze = 1;     // its horizontal squeeze (the compress factor across horizontal lenses)
  int64_t fileRows() const { return imageRows + stripRows; }
};

// The plate of `p` for views of at least minWidth x minHeight, with the
// refusals of ComputeGeometry for the file's own rows and columns.
PlateGeometry ComputePlate(const ExportParameters& p, Lenses lenses, uint32_t minWidth, uint32_t minHeight);

// The first column of each of `panels` files that split the print across
// its width, then the width: every cut is a lens boundary (a column where
// the view sequence starts again at view 1), the one nearest to
// k x width / panels, so the panels butt together into the whole print.
// Raises when the print has too few lenses for that many panels. The lens
// pattern is the one moved `shift` columns on, as BuildColumnViewMap moves
// it. Across horizontal lenses every column is a lens boundary: the cuts
// fall at round(k x width / panels).
// The most files a print is cut into.
constexpr int kMaxPanels = 64;

std::vector<int64_t> PanelCuts(const PlateGeometry& plate, int photoCount, int panels, int64_t shift = 0);

}  // namespace plivora
