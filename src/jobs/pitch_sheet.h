// The pitch test sheet: strips interlaced at LPI values around the nominal
// one, so that the operator can see under the lens which LPI prints clean.
//
// Each strip's pattern is the top of an export of two views, a black one
// then a white one, at the strip's LPI text and the sheet's DPI, width,
// unit and compress, made by the export's own geometry, column map and row
// composer. From the top, the file's image rows are: a header band (the
// print instruction and two rulers), then for every strip a label band and
// the pattern; then the export's caption strip. The file has the export's
// layout and is written the export's way (atomic output, row by row).
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <vector>

#include "interlace/export_geometry.h"
#include "jobs/export.h"
#include "options/export_settings.h"

namespace plivora {

struct PitchSheetTexts {
  QString dpi = QStringLiteral("4000");
  QString lpi = QStringLiteral("75.5555555555555");
  QString range = QStringLiteral("0.5");  // strips cover LPI - range .. LPI + range
  QString step = QStringLiteral("0.1");   // LPI difference between strips
  QString width = QStringLiteral("8");
  QString strip = QStringLiteral("0.5");  // height of each strip's pattern
  QString compress = QStringLiteral("10");
  bool inch = true;    // the unit of width and strip height; cm otherwise
  bool phase = false;  // 8 strips at the nominal LPI, shifted by eighths of a lens
  QChar decimalSeparator = QChar('.');  // accepted besides "."
  // Horizontal lenses: the sheet turned a quarter turn, its strips running
  // down the sheet side by side (see WritePitchSheet).
  Lenses lenses = Lenses::kVertical;
  bool mirror = false;  // mirrored left to right, for the back of a clear lens
};

struct PitchStrip {
  QString lpiText;   // 15 significant digits, as --lpi and the LPI box take it
  QString label;     // what its label band says
  bool nominal = false;
  int64_t shift = 0;  // columns of white before the pattern (phase sheets)
  int64_t firstRow = 0, lastRow = 0;  // the file's image rows of the pattern, inclusive
  ExportGeometry geometry;            // of the export the pattern is the top of
};

struct PitchSheetPlan {
  bool phase = false;           // a phase sheet: 8 strips at the nominal LPI, moved on by eighths of a lens
  ExportParameters parameters;  // DPI, width, strip height and compress, of the nominal LPI
  int64_t width = 0;            // pixels per row: the widest strip
  int64_t headerRows = 0, labelRows = 0, captionRows = 0;
  int64_t imageRows = 0;  // everything above the caption strip
  int64_t yResolutionE9 = 0;
  std::vector<PitchStrip> strips;  // top to bottom
  QString headerText;
  int64_t fileRows() const { return imageRows + captionRows; }
};

// The sheet's DPI, LPI, width, unit, compress, lenses and mirror from the
// export's settings, their height as the strips' height; the range, the
// step and the phase keep their defaults.
PitchSheetTexts SheetTexts(const ExportSettings& settings);

// The strips' LPI texts, top to bottom (the nominal one eight times for a
// phase sheet). Raises Error naming what is refused.
std::vector<QString> PitchSheetLpiTexts(const PitchSheetTexts& texts);

// Converts and checks everything; raises Error naming what is refused.
PitchSheetPlan PlanPitchSheet(const PitchSheetTexts& texts);

struct PitchSheetRequest {
  PitchSheetTexts texts;
  QString outputPath;
  QDateTime now;   // printed in the caption strip and the DateTime tag
  QLocale locale;  // date and time formats of the DateTime tag
  int threads = 0;  // threads to compose on; 0: PLIVORA_THREADS, else one fewer than the cores
};

// Writes the sheet; returns its plan (the strips and their rows).
//
// For horizontal lenses the plan's rows are the sheet's columns: the sheet
// is the vertical one turned a quarter turn anticlockwise (its text reads
// upwards, its rulers run down the sheet, its strips stand side by side),
// at DPI / compress across and the full DPI down, and strip k's pattern is
// the horizontal-lens export of a black and a white view, `strip` wide and
// `width` high, in the plan's rows of that strip as columns. The caption
// strip runs across the bottom.
PitchSheetPlan WritePitchSheet(const PitchSheetRequest& request, const ProgressFn& progress);

}  // namespace plivora
