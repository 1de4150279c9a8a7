#include "output/pitch_sheet.h"

#include <algorithm>

#include "common/error.h"
#include "common/numbers.h"

namespace plivora {

namespace {

constexpr int kMaxStrips = 60;
constexpr int kPhaseStrips = 8;
constexpr int64_t kMinPatternRows = 10;

// Rows of a band `inches` high at the sheet's vertical resolution, the way
// the caption strip's height is found.
int64_t BandRows(Real inches, const ExportParameters& p) {
  return Round(inches * Real(p.dpiE9) / Real(p.compress) / 100000 / 10000);
}

QString Number(Real value) { return FormatGeneral15(value); }

// The nominal LPI in the same form as the others, unless that form would
// round a longer text the user gave: the nominal strip is always the LPI asked for.
QString NominalText(const QString& text, Real lpi) {
  const QString formatted = Number(lpi);
  return ParseFloat(formatted) == lpi ? formatted : text.trimmed();
}

// The LPI texts of a coarse or fine sheet, lowest first; the nominal text
// stands in the middle, exactly as given.
std::vector<QString> LpiTexts(const PitchSheetTexts& t, Real lpi) {
  const QChar sep = t.decimalSeparator;
  const Real range = ParseFloat(t.range, sep), step = ParseFloat(t.step, sep);
  if (!(step > 0)) Fail(QStringLiteral("The step \"%1\" must be above 0").arg(t.step));
  if (range < 0) Fail(QStringLiteral("The range \"%1\" is negative; it must be 0 or more").arg(t.range));
  // Steps that fit the range on either side; a quotient a hair below a
  // whole number (0.3 / 0.1) counts as that number.
  const Real quotient = Divide(range, step);
  if (quotient > kMaxStrips)
    Fail(QStringLiteral("A pitch test holds at most %1 strips; a range of %2 in steps of %3 needs more")
             .arg(kMaxStrips).arg(t.range, t.step));
  const int64_t n = Trunc(quotient * (1 + 1e-12L));
  if (2 * n + 1 > kMaxStrips)
    Fail(QStringLiteral("A pitch test holds at most %1 strips; a range of %2 in steps of %3 gives %4")
             .arg(kMaxStrips).arg(t.range, t.step).arg(2 * n + 1));
  if (!(lpi - Real(n) * step > 0))
    Fail(QStringLiteral("The lowest LPI of the sheet, %1, is not above 0; narrow the range")
             .arg(Number(lpi - Real(n) * step)));
  std::vector<QString> texts;
  for (int64_t k = -n; k <= n; ++k) texts.push_back(k == 0 ? NominalText(t.lpi, lpi) : Number(lpi + Real(k) * step));
  return texts;
}

ExportGeometry StripGeometry(const PitchSheetTexts& t, const QString& lpiText) {
  ExportTexts e;
  e.dpi = t.dpi;
  e.lpi = lpiText;
  e.width = t.width;
  e.height = t.strip;
  e.compress = t.compress;
  e.inch = t.inch;
  e.decimalSeparator = t.decimalSeparator;
  // Two uniform views of one pixel: the pattern depends on the column map
  // alone, and every export of a black and a white view gives the same rows.
  return ComputeGeometry(ParseParameters(e, 2), 1, 1);
}

}  // namespace

PitchSheetPlan PlanPitchSheet(const PitchSheetTexts& t) {
  if (t.dpi.trimmed().compare(QLatin1String("(Auto)"), Qt::CaseInsensitive) == 0 ||
      t.dpi.trimmed().compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
    Fail(QStringLiteral("A pitch test prints at the plate setter's DPI; type it instead of (Auto)"));
  PitchSheetPlan plan;
  ExportTexts nominal;
  nominal.dpi = t.dpi;
  nominal.lpi = t.lpi;
  nominal.width = t.width;
  nominal.height = t.strip;
  nominal.compress = t.compress;
  nominal.inch = t.inch;
  nominal.decimalSeparator = t.decimalSeparator;
  plan.parameters = ParseParameters(nominal, 2);
  const ExportParameters& p = plan.parameters;
  const Real lpi = ParseFloat(t.lpi, t.decimalSeparator);
  const Real dpi = Real(p.dpiE9) / 1000000000;

  std::vector<QString> texts;
  if (t.phase) texts.assign(kPhaseStrips, NominalText(t.lpi, lpi));
  else texts = LpiTexts(t, lpi);

  plan.headerRows = BandRows(0.7L, p);
  plan.labelRows = BandRows(0.2L, p);
  int64_t row = plan.headerRows;
  for (size_t k = 0; k < texts.size(); ++k) {
    PitchStrip s;
    s.lpiText = texts[k];
    s.geometry = StripGeometry(t, texts[k]);
    if (s.geometry.outputRows < kMinPatternRows)
      Fail(QStringLiteral("A strip of %1 gives %2 image rows; strips need at least %3")
               .arg(t.strip).arg(s.geometry.outputRows).arg(kMinPatternRows));
    s.nominal = t.phase ? k == 0 : texts[k] == NominalText(t.lpi, lpi);
    s.label = t.phase ? QStringLiteral("phase %1/8").arg(k) : texts[k];
    if (t.phase) s.shift = Round(Real(int64_t(k)) * Divide(Real(p.dpiE9), Real(p.lpiE9)) / kPhaseStrips);
    s.firstRow = row + plan.labelRows;
    s.lastRow = s.firstRow + s.geometry.outputRows - 1;
    row = s.lastRow + 1;
    plan.width = std::max(plan.width, s.geometry.outputWidth);
    plan.strips.push_back(s);
  }
  plan.imageRows = row;
  plan.captionRows = plan.strips.front().geometry.stripRows;
  plan.yResolutionE9 = plan.strips.front().geometry.yResolutionE9;

  const uint64_t maxPixels = uint64_t(UINT32_MAX) / 4;
  if (uint64_t(plan.fileRows()) > maxPixels / uint64_t(plan.width))
    Fail(QStringLiteral("A sheet of %1 x %2 pixels does not fit a TIFF file (at most 4 GiB of pixel data); "
                        "use fewer or shorter strips, a narrower sheet or a higher compress factor")
             .arg(plan.width).arg(plan.fileRows()));

  const QString resolution = QStringLiteral("%1 x %2 dpi").arg(Number(dpi), Number(dpi / Real(p.compress)));
  plan.headerText = t.phase ? QStringLiteral("Print at 100 % \u2014 %1 \u2014 phase sheet at LPI %2").arg(resolution, texts.front())
                            : QStringLiteral("Print at 100 % \u2014 %1 \u2014 LPI from %2 to %3 step %4")
                                  .arg(resolution, texts.front(), texts.back(), t.step);
  return plan;
}

}  // namespace plivora
