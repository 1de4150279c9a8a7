// plivora-pitch-test: a sheet of strips interlaced at LPI values around the
// nominal one, to find under the lens the LPI that prints clean.
#include <QDateTime>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/number_options.h"
#include "jobs/pitch_sheet.h"

namespace {

using namespace plivora;

const char* const kAbout =
    "Writes a pitch test sheet: strips interlaced at LPI values around the nominal\n"
    "one, each half black and half white per lens. Printed at 100 % under the lens\n"
    "sheet, the right strip turns evenly dark or light as the sheet tilts.\n";

const char* const kAfter =
    "On success, one line per strip on stdout, top to bottom:\n"
    "  strip K lpi TEXT rows A-B   (A-B: the file's image rows of its pattern)\n"
    "or, for horizontal lenses, left to right:\n"
    "  strip K lpi TEXT columns A-B\n";

std::vector<Option> Options() {
  const PitchSheetTexts d;  // the sheet's own defaults
  return {{QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("PATH"),
           QStringLiteral("the TIFF to write (replaced only when complete)")},
          {QStringLiteral("--dpi"), {}, QStringLiteral("TEXT"), QStringLiteral("plate-setter resolution"), d.dpi},
          {QStringLiteral("--lpi"), {}, QStringLiteral("TEXT"), QStringLiteral("nominal lens pitch, lines per inch"), d.lpi},
          {QStringLiteral("--range"), {}, QStringLiteral("TEXT"), QStringLiteral("strips cover LPI - RANGE .. LPI + RANGE"), d.range},
          {QStringLiteral("--step"), {}, QStringLiteral("TEXT"), QStringLiteral("LPI difference between strips"), d.step},
          {QStringLiteral("--phase"), {}, {}, QStringLiteral("a phase sheet instead (8 strips at LPI)")},
          {QStringLiteral("--width"), {}, QStringLiteral("TEXT"), QStringLiteral("sheet width"), d.width},
          {QStringLiteral("--strip"), {}, QStringLiteral("TEXT"), QStringLiteral("height of each strip's pattern"), d.strip},
          {QStringLiteral("--unit"), {}, QStringLiteral("inch|cm"), QStringLiteral("unit of width and strip height"),
           d.inch ? QStringLiteral("inch") : QStringLiteral("cm")},
          {QStringLiteral("--compress"), {}, QStringLiteral("TEXT"), QStringLiteral("vertical compress factor"), d.compress},
          {QStringLiteral("--lenses"), {}, QStringLiteral("vertical|horizontal"),
           QStringLiteral("horizontal: the sheet turned, strips running down it,\nthe compress factor across"),
           QStringLiteral("vertical")},
          {QStringLiteral("--mirror"), {}, {}, QStringLiteral("mirror the sheet, to print on the back of a clear lens")},
          {QStringLiteral("--threads"), {}, QStringLiteral("N"), QStringLiteral("threads to compose on"),
           QStringLiteral("PLIVORA_THREADS, or cores - 1")}};
}

void Run(const ParsedOptions& o, const std::function<void(int)>& progress) {
  PitchSheetRequest req;
  req.outputPath = OutputPath(o);
  if (!o.Operands().isEmpty()) throw UsageError(QStringLiteral("unexpected argument %1 (see --help)").arg(o.Operands().first()));
  const PitchSheetTexts d;
  PitchSheetTexts& t = req.texts;
  t.inch = ParseUnit(o.Value(QStringLiteral("--unit"), d.inch ? QStringLiteral("inch") : QStringLiteral("cm")));
  t.phase = o.Has(QStringLiteral("--phase"));
  t.mirror = o.Has(QStringLiteral("--mirror"));
  const QString lenses = o.Value(QStringLiteral("--lenses"), QStringLiteral("vertical"));
  if (lenses != QLatin1String("vertical") && lenses != QLatin1String("horizontal"))
    throw UsageError(QStringLiteral("--lenses must be vertical or horizontal, not \"%1\"").arg(lenses));
  t.lenses = lenses == QLatin1String("horizontal") ? Lenses::kHorizontal : Lenses::kVertical;
  t.lpi = NumberOption(o, QStringLiteral("--lpi"), d.lpi, NumberKind::kPerInch, t.inch);
  t.dpi = o.Value(QStringLiteral("--dpi"), d.dpi);
  if (t.dpi.trimmed().compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 ||
      t.dpi.trimmed().compare(QLatin1String("(auto)"), Qt::CaseInsensitive) == 0)
    Fail(QStringLiteral("--dpi must be the plate setter's resolution; a pitch test has no (Auto)"));
  t.dpi = NumberOption(o, QStringLiteral("--dpi"), t.dpi, NumberKind::kPerInch, t.inch);
  t.width = NumberOption(o, QStringLiteral("--width"), d.width, NumberKind::kLength, t.inch);
  t.strip = NumberOption(o, QStringLiteral("--strip"), d.strip, NumberKind::kLength, t.inch);
  t.compress = CompressOption(o, d.compress);
  t.range = NumberOption(o, QStringLiteral("--range"), d.range, NumberKind::kPlain, t.inch, true);
  t.step = NumberOption(o, QStringLiteral("--step"), d.step, NumberKind::kPlain, t.inch);
  // The lowest LPI makes the fewest lenses: if it has one, so do the others.
  ExportTexts lowest;
  lowest.dpi = t.dpi;
  lowest.lpi = PitchSheetLpiTexts(t).front();
  lowest.width = t.width;
  lowest.height = t.strip;
  lowest.compress = t.compress;
  lowest.inch = t.inch;
  CheckPlateExtent(lowest, 2, QStringLiteral("--width"), QStringLiteral("--strip"));
  req.threads = ParseThreads(o);
  req.now = QDateTime::currentDateTime();
  req.locale = QLocale::system();
  const PitchSheetPlan plan = WritePitchSheet(req, progress);
  for (size_t k = 0; k < plan.strips.size(); ++k) {
    const PitchStrip& s = plan.strips[k];
    std::printf("strip %zu lpi %s %s %lld-%lld\n", k + 1, qPrintable(s.lpiText),
                t.lenses == Lenses::kVertical ? "rows" : "columns", static_cast<long long>(s.firstRow),
                static_cast<long long>(s.lastRow));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLineProgram program{"plivora-pitch-test", "[options] -o OUTPUT", kAbout, Options(), kAfter, Run};
  return RunCommandLineProgram(argc, argv, program);
}
