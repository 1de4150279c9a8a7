// plivora-pitch-test: a sheet of strips interlaced at LPI values around the
// nominal one, to find under the lens the LPI that prints clean.
#include <QDateTime>
#include <cstdio>

#include "cli/command_line.h"
#include "common/file_names.h"
#include "output/pitch_sheet.h"

namespace {

using namespace plivora;

const char* const kUsage =
    "usage: plivora-pitch-test [options] -o OUTPUT\n"
    "Writes a pitch test sheet: strips interlaced at LPI values around the nominal\n"
    "one, each half black and half white per lens. Printed at 100 % under the lens\n"
    "sheet, the right strip turns evenly dark or light as the sheet tilts.\n"
    "\n"
    "  -o, --output PATH  the TIFF to write (replaced only when complete)\n"
    "  --dpi TEXT         plate-setter resolution                  [4000]\n"
    "  --lpi TEXT         nominal lens pitch, lines per inch       [75.5555555555555]\n"
    "  --range TEXT       strips cover LPI - RANGE .. LPI + RANGE  [0.5]\n"
    "  --step TEXT        LPI difference between strips            [0.1]\n"
    "  --phase            a phase sheet instead (8 strips at LPI)\n"
    "  --width TEXT       sheet width                              [8]\n"
    "  --strip TEXT       height of each strip's pattern           [0.5]\n"
    "  --unit inch|cm     unit of width and strip height           [inch]\n"
    "  --compress TEXT    vertical compress factor                 [10]\n"
    "  --threads N        threads to compose on       [PLIVORA_THREADS, or cores - 1]\n"
    "  -q, --quiet        no progress output\n"
    "  -h, --help         this text\n"
    "  --version          the program's version\n"
    "\n"
    "On success, one line per strip on stdout, top to bottom:\n"
    "  strip K lpi TEXT rows A-B   (A-B: the file's image rows of its pattern)\n";

void Run(const ParsedOptions& o, const std::function<void(int)>& progress) {
  const QString output = o.Value(QStringLiteral("--output"));
  if (output.isEmpty()) throw UsageError(QStringLiteral("no output given (-o OUTPUT; see --help)"));
  if (!o.Operands().isEmpty()) throw UsageError(QStringLiteral("unexpected argument %1 (see --help)").arg(o.Operands().first()));
  PitchSheetRequest req;
  PitchSheetTexts& t = req.texts;
  t.dpi = o.Value(QStringLiteral("--dpi"), t.dpi);
  t.lpi = o.Value(QStringLiteral("--lpi"), t.lpi);
  t.range = o.Value(QStringLiteral("--range"), t.range);
  t.step = o.Value(QStringLiteral("--step"), t.step);
  t.width = o.Value(QStringLiteral("--width"), t.width);
  t.strip = o.Value(QStringLiteral("--strip"), t.strip);
  t.compress = o.Value(QStringLiteral("--compress"), t.compress);
  t.inch = ParseUnit(o.Value(QStringLiteral("--unit"), QStringLiteral("inch")));
  t.phase = o.Has(QStringLiteral("--phase"));
  req.outputPath = AbsoluteFileName(output);
  req.threads = ParseThreads(o);
  req.now = QDateTime::currentDateTime();
  req.locale = QLocale::system();
  const PitchSheetPlan plan = WritePitchSheet(req, progress);
  for (size_t k = 0; k < plan.strips.size(); ++k) {
    const PitchStrip& s = plan.strips[k];
    std::printf("strip %zu lpi %s rows %lld-%lld\n", k + 1, qPrintable(s.lpiText), static_cast<long long>(s.firstRow),
                static_cast<long long>(s.lastRow));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLineProgram program{"plivora-pitch-test",
                                   kUsage,
                                   {{QStringLiteral("--output"), QStringLiteral("-o"), true},
                                    {QStringLiteral("--dpi"), {}, true},
                                    {QStringLiteral("--lpi"), {}, true},
                                    {QStringLiteral("--range"), {}, true},
                                    {QStringLiteral("--step"), {}, true},
                                    {QStringLiteral("--phase")},
                                    {QStringLiteral("--width"), {}, true},
                                    {QStringLiteral("--strip"), {}, true},
                                    {QStringLiteral("--unit"), {}, true},
                                    {QStringLiteral("--compress"), {}, true},
       {QStringLiteral("--threads"), {}, true}},
                                   Run};
  return RunCommandLineProgram(argc, argv, program);
}
