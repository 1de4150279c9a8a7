// The number options of the command line, checked before any work so that a
// refusal names the option and what it takes ("--width must be above 0",
// "--lpi 1e308 is out of range") instead of an arithmetic error.
//
// The texts themselves go to the export unchanged, which reads them the way
// the window reads its fields: "." is the decimal separator, whatever the
// locale.
#pragma once

#include <QString>

#include "interlace/export_geometry.h"

namespace plivora {

class ParsedOptions;

// How a number option is held once read, which bounds its range.
enum class NumberKind {
  kPerInch,  // DPI and LPI: * 10^9 in 64 bits
  kLength,   // a width or height in the plate's unit: inches * 10^4 in 64 bits
  kPlain,    // used as it is (a pitch sheet's range and step)
};

// The text of option `name` (or `fallback` when it is not given), checked
// as a number above 0 (or 0 and above when `zeroAllowed`). Raises Error:
// "--width: '2,9' is not a valid floating point value; the command line
// takes "." as the decimal separator", "--width must be above 0, not "0"",
// "--lpi 1e308 is out of range".
QString NumberOption(const ParsedOptions& options, const QString& name, const QString& fallback, NumberKind kind,
                     bool inch, bool zeroAllowed = false);

// The compress factor's text, checked as an integer as the export reads it.
QString CompressOption(const ParsedOptions& options, const QString& fallback);

// Refuses a plate that has no lens, no pixel column or no row, naming the
// options that make it so. `widthName` and `heightName` are the options of
// the plate's width and height ("--width", "--strip"), across the lenses
// and along them: for horizontal lenses the caller swaps the texts and the
// names, and `along` says what the compress factor squeezes ("row" or
// "column").
void CheckPlateExtent(const ExportTexts& texts, int views, const QString& widthName, const QString& heightName,
                      const QString& along = QStringLiteral("row"));

}  // namespace plivora
