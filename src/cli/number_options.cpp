#include "cli/number_options.h"

#include "cli/command_line.h"
#include "common/error.h"
#include "common/numbers.h"

namespace plivora {

namespace {

constexpr Real kTwo63 = 9223372036854775808.0L;

// The option's name before a conversion error, and a word on the separator
// for a text that holds a comma (a habit of comma locales).
[[noreturn]] void NotANumber(const QString& name, const QString& text, const Error& e) {
  QString message = name + QStringLiteral(": ") + e.message();
  if (text.contains(QChar(',')))
    message += QStringLiteral("; the command line takes \".\" as the decimal separator");
  Fail(message);
}

QString UnitName(bool inch) { return inch ? QStringLiteral("inch") : QStringLiteral("cm"); }

}  // namespace

QString NumberOption(const ParsedOptions& options, const QString& name, const QString& fallback, NumberKind kind,
                     bool inch, bool zeroAllowed) {
  const QString text = options.Value(name, fallback);
  Real value = 0;
  try {
    value = ParseFloat(text);
  } catch (const Error& e) {
    NotANumber(name, text, e);
  }
  if (zeroAllowed ? value < 0 : !(value > 0))
    Fail(QStringLiteral("%1 must be %2, not \"%3\"").arg(name, zeroAllowed ? QStringLiteral("0 or more") : QStringLiteral("above 0"), text));
  if (kind == NumberKind::kPlain) return text;
  // As the export holds it: per-inch figures * 10^9, lengths in inches * 10^4.
  const Real fixed = kind == NumberKind::kPerInch ? value * 100000 * 10000 : inch ? value * 10000 : value / 2.54L * 10000;
  if (!(fixed < kTwo63)) Fail(QStringLiteral("%1 %2 is out of range").arg(name, text.trimmed()));
  if (value > 0 && Round(fixed) == 0)
    Fail(QStringLiteral("%1 %2 is too small: %3").arg(name, text.trimmed(),
                                                    kind == NumberKind::kPerInch
                                                        ? QStringLiteral("DPI and LPI are held to 10^-9")
                                                        : QStringLiteral("lengths are held to 1/10000 inch")));
  return text;
}

QString CompressOption(const ParsedOptions& options, const QString& fallback) {
  const QString text = options.Value(QStringLiteral("--compress"), fallback);
  try {
    ParseInt(text);
  } catch (const Error& e) {
    NotANumber(QStringLiteral("--compress"), text, e);
  }
  return text;
}

void CheckPlateExtent(const ExportTexts& t, int views, const QString& widthName, const QString& heightName,
                      const QString& along) {
  const ExportParameters p = ParseParameters(t, views);
  const QString lpi = t.lpi.trimmed(), dpi = t.dpi.trimmed(), unit = UnitName(t.inch);
  PlateExtent e;
  try {
    e = ComputeExtent(p);
  } catch (const Error&) {
    Fail(QStringLiteral("%1 %2 %3 at --lpi %4 and --dpi %5 is out of range").arg(widthName, t.width.trimmed(), unit, lpi, dpi));
  }
  if (e.lensCount == 0)
    Fail(QStringLiteral("%1 %2 %3 holds no whole lens at --lpi %4; widen it or raise the LPI")
             .arg(widthName, t.width.trimmed(), unit, lpi));
  if (e.outputWidth == 0)
    Fail(QStringLiteral("--dpi %1 is too low: %2 lenses at --lpi %3 come to less than a pixel").arg(dpi).arg(e.lensCount).arg(lpi));
  if (e.outputRows == 0)
    Fail(QStringLiteral("%1 %2 %3 at --dpi %4 spans %5 of the plate setter's %6s, fewer than --compress %7, so the "
                        "plate would have no image %6; raise the %8 or the DPI, or lower the compress factor")
             .arg(heightName, t.height.trimmed(), unit, dpi)
             .arg(e.printRows)
             .arg(along)
             .arg(p.compress)
             .arg(along == QLatin1String("row") ? QStringLiteral("height") : QStringLiteral("width")));
}

}  // namespace plivora
