#include "cli/option_words.h"

#include "cli/command_line.h"
#include "common/numbers.h"

namespace plivora {

namespace {

constexpr Real kTwo63 = 9223372036854775808.0L;

QString UnitName(bool inch) { return inch ? QStringLiteral("inch") : QStringLiteral("cm"); }

QString Dashed(const QString& option, const OptionNames& names) {
  const auto it = names.find(option);
  return it != names.end() ? it->second : QStringLiteral("--") + option;
}

// The option's name before a conversion error, and a word on the separator
// for a text that holds a comma (a habit of comma locales).
QString NotANumber(const QString& name, const QString& text, const QString& message) {
  QString words = name + QStringLiteral(": ") + message;
  if (text.contains(QChar(','))) words += QStringLiteral("; the command line takes \".\" as the decimal separator");
  return words;
}

// 0, or a value too small for the form it is held in.
QString ZeroWords(const QString& name, const QString& option, const QString& text) {
  Real value = 0;
  try {
    value = ParseFloat(text);
  } catch (const Error&) {
  }
  if (value > 0)
    return QStringLiteral("%1 %2 is too small: %3").arg(name, text.trimmed(), FindExportOption(option)->heldTo);
  return QStringLiteral("%1 must be above 0, not \"%2\"").arg(name, text);
}

// A plate without a lens, a pixel or a row, said with the options that
// make it so; across horizontal lenses the height runs across them.
QString ExtentWords(const OptionError& e, const ExportSettings& s, const ExportParameters& p, const OptionNames& names) {
  const bool vertical = s.lens.lenses == Lenses::kVertical;
  const ExportTexts& t = s.texts;
  ExportParameters across = p;
  if (!vertical) std::swap(across.widthE4, across.heightE4);
  const QString widthName = Dashed(vertical ? QStringLiteral("width") : QStringLiteral("height"), names);
  const QString heightName = Dashed(vertical ? QStringLiteral("height") : QStringLiteral("width"), names);
  const QString width = (vertical ? t.width : t.height).trimmed(), height = (vertical ? t.height : t.width).trimmed();
  const QString lpi = t.lpi.trimmed(), dpi = t.dpi.trimmed(), unit = UnitName(t.inch);
  const QString along = vertical ? QStringLiteral("row") : QStringLiteral("column");
  PlateExtent x;
  try {
    x = ComputeExtent(across);
  } catch (const Error&) {
    return QStringLiteral("%1 %2 %3 at --lpi %4 and --dpi %5 is out of range").arg(widthName, width, unit, lpi, dpi);
  }
  switch (e.problem()) {
    case Problem::kNoWholeLens:
      return QStringLiteral("%1 %2 %3 holds no whole lens at --lpi %4; widen it or raise the LPI").arg(widthName, width, unit, lpi);
    case Problem::kNoPixel:
      return QStringLiteral("--dpi %1 is too low: %2 lenses at --lpi %3 come to less than a pixel").arg(dpi).arg(x.lensCount).arg(lpi);
    default:
      return QStringLiteral("%1 %2 %3 at --dpi %4 spans %5 of the plate setter's %6s, fewer than --compress %7, so the "
                            "plate would have no image %6; raise the %8 or the DPI, or lower the compress factor")
          .arg(heightName, height, unit, dpi)
          .arg(x.printRows)
          .arg(along)
          .arg(p.compress)
          .arg(vertical ? QStringLiteral("height") : QStringLiteral("width"));
  }
}

}  // namespace

void RefuseOnCommandLine(const OptionError& e, const ExportSettings& settings, const ExportParameters* p,
                         const OptionNames& names) {
  const QString name = Dashed(e.option(), names);
  switch (e.problem()) {
    case Problem::kNotANumber:
    case Problem::kNotAWholeNumber: Fail(NotANumber(name, e.text(), e.message()));
    case Problem::kNegative:
    case Problem::kZero: Fail(ZeroWords(name, e.option(), e.text()));
    case Problem::kOutOfRange: Fail(QStringLiteral("%1 %2 is out of range").arg(name, e.text().trimmed()));
    case Problem::kNoWholeLens:
    case Problem::kNoPixel:
    case Problem::kNoRow:
      if (p) Fail(ExtentWords(e, settings, *p, names));
      Fail(e.message());
    case Problem::kNotALength:
      throw UsageError(QStringLiteral("%1 takes a length from 0 to 10 inches, in the unit of --unit or with mm, cm or in "
                                      "(\"3mm\"), not \"%2\"").arg(name, e.text()));
    case Problem::kNotWithinBounds: Fail(name + e.message().mid(e.option().size()));
    case Problem::kNotAChoice:
    case Problem::kNotInRange:
    case Problem::kNotAPart:
    case Problem::kNotAText: break;
  }
  // These messages begin with the option's name.
  throw UsageError(name + e.message().mid(e.option().size()));
}

ExportSettings CommandLineSettings(const OptionValues& values, const OptionNames& names) {
  try {
    return SettingsFrom(values);
  } catch (const OptionError& e) {
    RefuseOnCommandLine(e, ExportSettings(), nullptr, names);
  }
}

void CheckCommandLinePlate(const ExportSettings& settings, int frames, const OptionNames& names) {
  const ExportParameters p = settings.Parameters(frames);
  try {
    CheckPlateExtent(p, settings.lens.lenses);
  } catch (const OptionError& e) {
    RefuseOnCommandLine(e, settings, &p, names);
  }
}

QString NumberOption(const ParsedOptions& options, const QString& name, const QString& fallback, NumberKind kind, bool inch,
                     bool zeroAllowed) {
  const QString text = options.Value(name, fallback);
  Real value = 0;
  try {
    value = ParseFloat(text);
  } catch (const Error& e) {
    Fail(NotANumber(name, text, e.message()));
  }
  if (zeroAllowed ? value < 0 : !(value > 0))
    Fail(QStringLiteral("%1 must be %2, not \"%3\"").arg(name, zeroAllowed ? QStringLiteral("0 or more") : QStringLiteral("above 0"), text));
  if (kind == NumberKind::kPlain) return text;
  const Real fixed = inch ? value * 10000 : value / 2.54L * 10000;
  if (!(fixed < kTwo63)) Fail(QStringLiteral("%1 %2 is out of range").arg(name, text.trimmed()));
  if (value > 0 && Round(fixed) == 0) Fail(QStringLiteral("%1 %2 is too small: lengths are held to 1/10000 inch").arg(name, text.trimmed()));
  return text;
}

}  // namespace plivora
