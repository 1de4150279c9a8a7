// How the command line words a refusal of an option: by its --name, with
// what it takes ("--width must be above 0, not "0"", "--lpi 1e308 is out
// of range", "--colour must be grey, cmyk or rgb, not "x""). A number that
// can't be used ends the run (exit 1); any other value is a wrong command
// line (exit 2, with the usage text).
#pragma once

#include <QString>
#include <map>

#include "options/export_settings.h"

namespace plivora {

class ParsedOptions;

// The command line's names of options whose table names it does not use:
// the pitch test's "height" is "--strip".
using OptionNames = std::map<QString, QString>;

// The settings of `values`, every refusal worded for the command line.
ExportSettings CommandLineSettings(const OptionValues& values, const OptionNames& names = {});

// Checks that a plate of `settings` for `frames` frames has a lens, a
// pixel and a row, naming the options that make it so when it has not.
void CheckCommandLinePlate(const ExportSettings& settings, int frames, const OptionNames& names = {});

// Raises Error or UsageError with the command line's words for `e`; `p`
// (when not null) gives the figures of a plate without a lens, pixel or row.
[[noreturn]] void RefuseOnCommandLine(const OptionError& e, const ExportSettings& settings, const ExportParameters* p,
                                      const OptionNames& names = {});

// How a plain number option of a program's own is held once read, which
// bounds its range.
enum class NumberKind {
  kLength,  // a length in the unit: inches * 10^4 in 64 bits
  kPlain,   // used as it is (a pitch sheet's range and step)
};

// The text of option `name` (or `fallback`), checked as a number above 0
// (or 0 and above when `zeroAllowed`), in the words above.
QString NumberOption(const ParsedOptions& options, const QString& name, const QString& fallback, NumberKind kind, bool inch,
                     bool zeroAllowed = false);

}  // namespace plivora
