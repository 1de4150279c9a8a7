// plivora-pitch-test: a sheet of strips interlaced at LPI values around the
// nominal one, to find under the lens the LPI that prints clean.
#include <QDateTime>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/option_words.h"
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

// The export options the sheet shares: its own defaults, as the sheet is
// wider than a card and measured in inches.
const QStringList kShared = {QStringLiteral("dpi"), QStringLiteral("lpi"), QStringLiteral("width"), QStringLiteral("unit"),
                             QStringLiteral("compress"), QStringLiteral("lenses"), QStringLiteral("mirror")};

std::vector<Option> Options() {
  const PitchSheetTexts d;  // the sheet's own defaults
  std::vector<Option> options = {{QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("PATH"),
                                  QStringLiteral("the TIFF to write (replaced only when complete)")}};
  const std::vector<Option> shared = ExportOptionsOnCommandLine(
      kShared, {{QStringLiteral("--dpi"), {}, {}, QStringLiteral("plate-setter resolution")},
                {QStringLiteral("--lpi"), {}, {}, QStringLiteral("nominal lens pitch, lines per inch")},
                {QStringLiteral("--width"), {}, {}, QStringLiteral("sheet width"), d.width},
                {QStringLiteral("--unit"), {}, {}, QStringLiteral("unit of width and strip height"), QStringLiteral("inch")},
                {QStringLiteral("--lenses"), {}, {},
                 QStringLiteral("horizontal: the sheet turned, strips running down it,\nthe compress factor across")},
                {QStringLiteral("--mirror"), {}, {}, QStringLiteral("mirror the sheet, to print on the back of a clear lens")}});
  options.insert(options.end(), shared.begin(), shared.end());
  const std::vector<Option> own = {
      {QStringLiteral("--range"), {}, QStringLiteral("TEXT"), QStringLiteral("strips cover LPI - RANGE .. LPI + RANGE"), d.range},
      {QStringLiteral("--step"), {}, QStringLiteral("TEXT"), QStringLiteral("LPI difference between strips"), d.step},
      {QStringLiteral("--phase"), {}, {}, QStringLiteral("a phase sheet instead (8 strips at LPI)")},
      {QStringLiteral("--strip"), {}, QStringLiteral("TEXT"), QStringLiteral("height of each strip's pattern"), d.strip},
      {QStringLiteral("--threads"), {}, QStringLiteral("N"), QStringLiteral("threads to compose on"),
       QStringLiteral("PLIVORA_THREADS, or cores - 1")}};
  options.insert(options.end(), own.begin(), own.end());
  return options;
}

// The strip's height plays the export's height.
const OptionNames kNames = {{QStringLiteral("height"), QStringLiteral("--strip")}};

void Run(const ParsedOptions& o, const std::function<void(int)>& progress) {
  PitchSheetRequest req;
  req.outputPath = OutputPath(o);
  if (!o.Operands().isEmpty()) throw UsageError(QStringLiteral("unexpected argument %1 (see --help)").arg(o.Operands().first()));
  const PitchSheetTexts d;
  OptionValues values = ExportValuesOf(o, kShared);
  values.emplace(QStringLiteral("width"), d.width);
  values.emplace(QStringLiteral("unit"), d.inch ? QStringLiteral("inch") : QStringLiteral("cm"));
  values[QStringLiteral("height")] = o.Value(QStringLiteral("--strip"), d.strip);
  if (values.count(QStringLiteral("dpi")) && values.at(QStringLiteral("dpi")) == QLatin1String("(Auto)"))
    Fail(QStringLiteral("--dpi must be the plate setter's resolution; a pitch test has no (Auto)"));
  const ExportSettings settings = CommandLineSettings(values, kNames);
  PitchSheetTexts& t = req.texts;
  t = SheetTexts(settings);
  t.phase = o.Has(QStringLiteral("--phase"));
  t.range = NumberOption(o, QStringLiteral("--range"), d.range, NumberKind::kPlain, t.inch, true);
  t.step = NumberOption(o, QStringLiteral("--step"), d.step, NumberKind::kPlain, t.inch);
  // The lowest LPI makes the fewest lenses: if it has one, so do the others.
  // The strips are interlaced across vertical lenses, whichever way the
  // sheet is turned.
  OptionValues lowest = values;
  lowest[QStringLiteral("lpi")] = PitchSheetLpiTexts(t).front();
  lowest[QStringLiteral("lenses")] = LensesName(Lenses::kVertical);
  CheckCommandLinePlate(CommandLineSettings(lowest, kNames), 2, kNames);
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
