#include "cli/cli_options.h"

#include "common/error.h"

namespace plivora {

const char* const kCliUsage =
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
    "  -q, --quiet        no progress output\n"
    "  -h, --help         this text\n"
    "  --version          the program's version\n";

CliOptions ParseCliOptions(const QStringList& args) {
  CliOptions o;
  bool viewsOnly = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (viewsOnly || !a.startsWith(QChar('-')) || a == QLatin1String("-")) {
      o.views << a;
      continue;
    }
    if (a == QLatin1String("--")) {
      viewsOnly = true;
      continue;
    }
    QString name = a, value;
    bool inlineValue = false;
    if (a.startsWith(QLatin1String("--")) && a.contains(QChar('='))) {
      name = a.section(QChar('='), 0, 0);
      value = a.section(QChar('='), 1);
      inlineValue = true;
    }
    const auto takeValue = [&]() -> QString {
      if (inlineValue) return value;
      if (i + 1 >= args.size()) Fail(QStringLiteral("option %1 needs a value").arg(name));
      return args[++i];
    };
    if (name == QLatin1String("-h") || name == QLatin1String("--help")) o.help = true;
    else if (name == QLatin1String("--version")) o.version = true;
    else if (name == QLatin1String("-q") || name == QLatin1String("--quiet")) o.quiet = true;
    else if (name == QLatin1String("-o") || name == QLatin1String("--output")) o.output = takeValue();
    else if (name == QLatin1String("--dpi")) o.dpi = takeValue();
    else if (name == QLatin1String("--lpi")) o.lpi = takeValue();
    else if (name == QLatin1String("--width")) o.width = takeValue();
    else if (name == QLatin1String("--height")) o.height = takeValue();
    else if (name == QLatin1String("--compress")) o.compress = takeValue();
    else if (name == QLatin1String("--unit")) {
      const QString unit = takeValue();
      if (unit != QLatin1String("inch") && unit != QLatin1String("cm"))
        Fail(QStringLiteral("--unit must be inch or cm, not \"%1\"").arg(unit));
      o.inch = unit == QLatin1String("inch");
    } else {
      Fail(QStringLiteral("unknown option %1 (see --help)").arg(a));
    }
  }
  if (o.help || o.version) return o;
  if (o.output.isEmpty()) Fail(QStringLiteral("no output given (-o OUTPUT; see --help)"));
  if (o.views.isEmpty()) Fail(QStringLiteral("no views given (see --help)"));
  if (o.dpi.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) o.dpi = QStringLiteral("(Auto)");
  return o;
}

}  // namespace plivora
