// Every export option, declared once: its name (the command line's without
// "--", and the key of jobs, profiles and the print setup), the kind of
// value it takes, its range or choices, its default, its help, which
// profile keeps it and how the window shows it. The command lines and their
// --help, the job and profile files, the print setup and the window's
// export are all made from this table, so adding an option is one entry
// here and its effect where it acts.
#pragma once

#include <QString>
#include <QStringView>
#include <map>
#include <vector>

namespace plivora {

enum class OptionKind {
  kNumber,  // a decimal number ("75.40595"), "." as the separator
  kWhole,   // a whole number from `low` to `high`
  kChoice,  // one word of `choices`
  kSwitch,  // given or not; true in files
  kFile,    // a file name: absolute, or relative to a job's folder in a job
  kLength,  // a length in the plate's unit, or with its own ("3mm")
  kPart,    // a part of one, at least 0 and below 1: "0.375" or "3/8"
};

// Besides jobs, which keep every export option: the profile that keeps it.
enum class KeptBy { kJobOnly, kLens, kPrinter };

// Where the window shows it: among the main window's fields (they have the
// toolkit's own texts and are saved in the ten-line file), in the print
// setup dialog, in both, or nowhere (kept in the job the window opened).
enum class Shown { kNowhere, kMainWindow, kPrintSetup, kBoth };

struct OptionChoice {
  QString name;         // as typed and stored
  QString en, zh;       // as the window says it
};

struct OptionEntry {
  QString name;
  OptionKind kind = OptionKind::kNumber;
  QString value;         // --help's word for the value: "TEXT", "N", "FILE"; for choices their words
  QString fallback;      // the value when not given ("" for a file or a switch not given)
  QString help;          // --help's text, lines split by "\n"
  QString fallbackHelp;  // --help's default when it is not `fallback` ("width / aspect of the first view")
  KeptBy keptBy = KeptBy::kJobOnly;
  Shown shown = Shown::kNowhere;
  QString en, zh;        // the window's name for it ("Bleed on every side"), in refusals and labels
  QString objectName;    // the print setup's control
  QString windowField;   // the main window's control that holds it ("ComboBox3"), if any
  QString heldTo;        // how finely a number is held, said when a value is too fine for it
  QString hint;          // the print setup's placeholder ("0, 3/8, 0.375")
  QString boundsEn, boundsZh;  // a number's bounds in words ("from 1 to 3"), where it has its own
  int low = 0, high = 0;  // a whole number's range
  std::vector<OptionChoice> choices;

  bool InSetup() const { return shown == Shown::kPrintSetup || shown == Shown::kBoth; }
};

// The lens sheet's optics that the proof through the lens can model: a
// thickness above 0 and at most an inch, a refractive index from 1 to 3.
inline constexpr long double kMaxLensThicknessInches = 1;
inline constexpr long double kMinLensIndex = 1, kMaxLensIndex = 3;
// The largest depth either way of a layer or a depth map, in lens widths:
// far past what any lens shows without doubling, short of nonsense.
inline constexpr long double kMaxMadeDepth = 100;

// The export's options, in the order --help lists them.
const std::vector<OptionEntry>& ExportOptions();
// The option of that name (without "--"), or nullptr.
const OptionEntry* FindExportOption(const QString& name);

// Option name (without "--") to its value as text: the text as the command
// line takes it, "" for a switch given. What a job, a profile and the print
// setup hold.
using OptionValues = std::map<QString, QString>;

// A value as the export reads it, from a command line or a file: the
// DPI's "auto" or "(auto)" in any case is "(Auto)", the window's item.
QString CanonicalValue(const QString& name, const QString& text);

// The value of `name` in `values`, or the option's default.
QString ValueOrDefault(const OptionValues& values, const QString& name);

// "grey, cmyk or rgb": a choice option's words, for refusals.
QString ChoiceWords(const OptionEntry& option);

}  // namespace plivora
