// plivora-interlace: the export of the window, from the command line.
#include <QDateTime>

#include "cli/command_line.h"
#include "common/file_names.h"
#include "output/export.h"
#include "series/source_image.h"
#include "series/view_series.h"

namespace {

using namespace plivora;

const char* const kUsage =
    "usage: plivora-interlace [options] -o OUTPUT VIEW...\n"
    "Interlaces a series of views (8-bit CMYK TIFF, or .gjs with inverted samples)\n"
    "into one TIFF for the plate setter. The first view sets the reference size.\n"
    "\n"
    "  -o, --output PATH  the TIFF to write (replaced only when complete)\n"
    "  --dpi TEXT         output resolution, or (Auto) / auto       [4000]\n"
    "  --lpi TEXT         lens lines per inch                       [75.5555555555555]\n"
    "  --width TEXT       output width                              [2]\n"
    "  --height TEXT      output height       [width / aspect of the first view]\n"
    "  --unit inch|cm     unit of width and height                  [cm]\n"
    "  --compress TEXT    vertical compress factor                  [10]\n"
    "  --threads N        threads to compose on        [PLIVORA_THREADS, or cores - 1]\n"
    "  --compression none|packbits|lzw|deflate\n"
    "                     compression of the TIFF                   [none]\n"
    "  --bigtiff          write a BigTIFF (64-bit offsets: past 4 GiB)\n"
    "  --panels N         cut the print at lens boundaries into N files side by\n"
    "                     side, OUTPUT-1-of-N.tif ... (1 to 64)     [1]\n"
    "  -q, --quiet        no progress output\n"
    "  -h, --help         this text\n"
    "  --version          the program's version\n";

ExportRequest BuildRequest(const ParsedOptions& o) {
  const QString output = o.Value(QStringLiteral("--output"));
  if (output.isEmpty()) throw UsageError(QStringLiteral("no output given (-o OUTPUT; see --help)"));
  if (o.Operands().isEmpty()) throw UsageError(QStringLiteral("no views given (see --help)"));

  ExportRequest req;
  req.texts.dpi = o.Value(QStringLiteral("--dpi"), QStringLiteral("4000"));
  if (req.texts.dpi.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) req.texts.dpi = QStringLiteral("(Auto)");
  req.texts.lpi = o.Value(QStringLiteral("--lpi"), QStringLiteral("75.5555555555555"));
  req.texts.width = o.Value(QStringLiteral("--width"), QStringLiteral("2"));
  req.texts.compress = o.Value(QStringLiteral("--compress"), QStringLiteral("10"));
  req.texts.inch = ParseUnit(o.Value(QStringLiteral("--unit"), QStringLiteral("cm")));
  req.views = o.Operands();
  req.threads = ParseThreads(o);
  const QString compression = o.Value(QStringLiteral("--compression"), QStringLiteral("none"));
  const std::optional<Compression> c = CompressionFromName(compression);
  if (!c) throw UsageError(QStringLiteral("--compression must be none, packbits, lzw or deflate, not \"%1\"").arg(compression));
  req.form.compression = *c;
  req.form.bigTiff = o.Has(QStringLiteral("--bigtiff"));
  const QString panels = o.Value(QStringLiteral("--panels"), QStringLiteral("1"));
  bool ok = false;
  req.panels = panels.toInt(&ok);
  if (!ok || req.panels < 1 || req.panels > kMaxPanels)
    throw UsageError(QStringLiteral("--panels takes a number from 1 to %1, not \"%2\"").arg(kMaxPanels).arg(panels));
  req.outputPath = AbsoluteFileName(output);
  req.now = QDateTime::currentDateTime();
  req.locale = QLocale::system();

  // The first view is the reference, as after an import in the window.
  SourceImage first;
  ReadSourceHeader(req.views.first(), first);
  req.firstPhotoWidth = int32_t(first.Width);
  req.firstPhotoHeight = int32_t(first.Height);
  req.negativeInput = IsNegativeExtension(PathExtension(req.views.first()));
  // Without --height, the height the window would show for this width.
  req.texts.height = o.Optional(QStringLiteral("--height"))
                         .value_or(HeightFromWidth(req.texts.width, PhotoAspect(first.Width, first.Height)));
  return req;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLineProgram program{
      "plivora-interlace",
      kUsage,
      {{QStringLiteral("--output"), QStringLiteral("-o"), true},
       {QStringLiteral("--dpi"), {}, true},
       {QStringLiteral("--lpi"), {}, true},
       {QStringLiteral("--width"), {}, true},
       {QStringLiteral("--height"), {}, true},
       {QStringLiteral("--unit"), {}, true},
       {QStringLiteral("--compress"), {}, true},
       {QStringLiteral("--threads"), {}, true},
       {QStringLiteral("--compression"), {}, true},
       {QStringLiteral("--bigtiff")},
       {QStringLiteral("--panels"), {}, true}},
      [](const ParsedOptions& options, const std::function<void(int)>& progress) {
        ExportInterlaced(BuildRequest(options), progress);
      }};
  return RunCommandLineProgram(argc, argv, program);
}
