// plivora-interlace: the export of the window, from the command line.
#include <QDateTime>

#include "cli/command_line.h"
#include "cli/number_options.h"
#include "common/file_names.h"
#include "jobs/export.h"
#include "series/source_image.h"
#include "series/view_series.h"

namespace {

using namespace plivora;

const char* const kAbout =
    "Interlaces a series of views (TIFF, PNG or JPEG; .gjs: CMYK TIFF with inverted\n"
    "samples) into one TIFF for the press. The first view sets the reference size.\n";

std::vector<Option> Options() {
  const ExportTexts d;  // the export's own defaults
  return {{QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("PATH"),
           QStringLiteral("the TIFF to write (replaced only when complete)")},
          {QStringLiteral("--dpi"), {}, QStringLiteral("TEXT"), QStringLiteral("output resolution, or (Auto) / auto"), d.dpi},
          {QStringLiteral("--lpi"), {}, QStringLiteral("TEXT"), QStringLiteral("lens lines per inch"), d.lpi},
          {QStringLiteral("--width"), {}, QStringLiteral("TEXT"), QStringLiteral("output width"), d.width},
          {QStringLiteral("--height"), {}, QStringLiteral("TEXT"), QStringLiteral("output height"),
           QStringLiteral("width / aspect of the first view")},
          {QStringLiteral("--unit"), {}, QStringLiteral("inch|cm"), QStringLiteral("unit of width and height"),
           d.inch ? QStringLiteral("inch") : QStringLiteral("cm")},
          {QStringLiteral("--compress"), {}, QStringLiteral("TEXT"), QStringLiteral("vertical compress factor"), d.compress},
          {QStringLiteral("--threads"), {}, QStringLiteral("N"), QStringLiteral("threads to compose on"),
           QStringLiteral("PLIVORA_THREADS, or cores - 1")},
          {QStringLiteral("--compression"), {}, QStringLiteral("none|packbits|lzw|deflate"),
           QStringLiteral("compression of the TIFF"), CompressionName(OutputForm{}.compression)},
          {QStringLiteral("--bigtiff"), {}, {}, QStringLiteral("write a BigTIFF (64-bit offsets: past 4 GiB)")},
          {QStringLiteral("--colour"), {}, QStringLiteral("grey|cmyk|rgb"),
           QStringLiteral("the plate: one grey for the plate setter, the inks,\nor RGB for inkjet and UV printers"),
           PlateColourName(PlateColour::kGrey)},
          {QStringLiteral("--cmyk-profile"), {}, QStringLiteral("FILE"), QStringLiteral("the press's CMYK ICC profile"),
           QString::fromLatin1(kDefaultCmykProfile).section(QChar('/'), -1)},
          {QStringLiteral("--rgb-profile"), {}, QStringLiteral("FILE"), QStringLiteral("the RGB plate's ICC profile"),
           QStringLiteral("sRGB")},
          {QStringLiteral("--intent"), {}, QStringLiteral("perceptual|relative|saturation|absolute"),
           QStringLiteral("rendering intent of colour conversions"), IntentName(Intent::kRelative)},
          {QStringLiteral("--lenses"), {}, QStringLiteral("vertical|horizontal"),
           QStringLiteral("the lenses' direction: horizontal for flip, zoom,\nmorph and motion"),
           QStringLiteral("vertical")},
          {QStringLiteral("--order"), {}, QStringLiteral("forward|reverse|pingpong"),
           QStringLiteral("the frames the lens shows: the views as listed,\nbackwards, or 1..N then N-1..2"),
           FrameOrderName(FrameOrder::kForward)},
          {QStringLiteral("--hold-ends"), {}, QStringLiteral("K"),
           QStringLiteral("show the first and the last frame K times each"), QStringLiteral("1")},
          {QStringLiteral("--phase"), {}, QStringLiteral("F"),
           QStringLiteral("move the lens pattern on by F of a lens (0 <= F < 1;\nthe phase sheet's \"phase 3/8\" is 3/8)"),
           QStringLiteral("0")},
          {QStringLiteral("--mirror"), {}, {}, QStringLiteral("mirror the plate, to print on the back of a clear lens")},
          {QStringLiteral("--panels"), {}, QStringLiteral("N"),
           QStringLiteral("cut the print at lens boundaries into N files side by\nside, OUTPUT-1-of-N.tif ... (1 to %1)")
               .arg(kMaxPanels),
           QStringLiteral("1")}};
}

// The lens options; UsageError naming the option for a wrong value.
LensOptions ParseLensOptions(const ParsedOptions& o) {
  LensOptions lens;
  const QString lenses = o.Value(QStringLiteral("--lenses"), QStringLiteral("vertical"));
  if (lenses != QLatin1String("vertical") && lenses != QLatin1String("horizontal"))
    throw UsageError(QStringLiteral("--lenses must be vertical or horizontal, not \"%1\"").arg(lenses));
  lens.lenses = lenses == QLatin1String("horizontal") ? Lenses::kHorizontal : Lenses::kVertical;
  const QString order = o.Value(QStringLiteral("--order"), FrameOrderName(FrameOrder::kForward));
  const std::optional<FrameOrder> frameOrder = FrameOrderFromName(order);
  if (!frameOrder) throw UsageError(QStringLiteral("--order must be forward, reverse or pingpong, not \"%1\"").arg(order));
  lens.frames.order = *frameOrder;
  const QString hold = o.Value(QStringLiteral("--hold-ends"), QStringLiteral("1"));
  bool ok = false;
  lens.frames.holdEnds = hold.toInt(&ok);
  if (!ok || lens.frames.holdEnds < 1 || lens.frames.holdEnds > 255)
    throw UsageError(QStringLiteral("--hold-ends takes a number from 1 to 255, not \"%1\"").arg(hold));
  try {
    lens.phase = ParsePhase(o.Value(QStringLiteral("--phase"), QStringLiteral("0")), QStringLiteral("--phase"));
  } catch (const Error& e) {
    throw UsageError(e.message());
  }
  lens.mirror = o.Has(QStringLiteral("--mirror"));
  return lens;
}

ExportRequest BuildRequest(const ParsedOptions& o) {
  ExportRequest req;
  req.outputPath = OutputPath(o);
  if (o.Operands().isEmpty()) throw UsageError(QStringLiteral("no views given (see --help)"));
  const ExportTexts defaults;
  ExportTexts& t = req.texts;
  t.inch = ParseUnit(o.Value(QStringLiteral("--unit"), defaults.inch ? QStringLiteral("inch") : QStringLiteral("cm")));
  // In the order the export reads them, so that the first wrong one is named.
  t.lpi = NumberOption(o, QStringLiteral("--lpi"), defaults.lpi, NumberKind::kPerInch, t.inch);
  t.dpi = o.Value(QStringLiteral("--dpi"), defaults.dpi);
  if (t.dpi.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) t.dpi = QStringLiteral("(Auto)");
  if (t.dpi != QLatin1String("(Auto)")) t.dpi = NumberOption(o, QStringLiteral("--dpi"), t.dpi, NumberKind::kPerInch, t.inch);
  t.width = NumberOption(o, QStringLiteral("--width"), defaults.width, NumberKind::kLength, t.inch);
  if (o.Has(QStringLiteral("--height")))
    t.height = NumberOption(o, QStringLiteral("--height"), {}, NumberKind::kLength, t.inch);
  t.compress = CompressOption(o, defaults.compress);
  req.views = o.Operands();
  req.lens = ParseLensOptions(o);
  req.threads = ParseThreads(o);
  const QString compression = o.Value(QStringLiteral("--compression"), CompressionName(req.form.compression));
  const std::optional<Compression> c = CompressionFromName(compression);
  if (!c) throw UsageError(QStringLiteral("--compression must be none, packbits, lzw or deflate, not \"%1\"").arg(compression));
  req.form.compression = *c;
  req.form.bigTiff = o.Has(QStringLiteral("--bigtiff"));
  const QString colour = o.Value(QStringLiteral("--colour"), PlateColourName(req.colour.plate));
  const std::optional<PlateColour> plate = PlateColourFromName(colour);
  if (!plate) throw UsageError(QStringLiteral("--colour must be grey, cmyk or rgb, not \"%1\"").arg(colour));
  req.colour.plate = *plate;
  const QString intent = o.Value(QStringLiteral("--intent"), IntentName(req.colour.intent));
  const std::optional<Intent> i = IntentFromName(intent);
  if (!i) throw UsageError(QStringLiteral("--intent must be perceptual, relative, saturation or absolute, not \"%1\"").arg(intent));
  req.colour.intent = *i;
  if (const std::optional<QString> file = o.Optional(QStringLiteral("--cmyk-profile"))) req.colour.cmykProfile = AbsoluteFileName(*file);
  if (const std::optional<QString> file = o.Optional(QStringLiteral("--rgb-profile"))) req.colour.rgbProfile = AbsoluteFileName(*file);
  const QString panels = o.Value(QStringLiteral("--panels"), QStringLiteral("1"));
  bool ok = false;
  req.panels = panels.toInt(&ok);
  if (!ok || req.panels < 1 || req.panels > kMaxPanels)
    throw UsageError(QStringLiteral("--panels takes a number from 1 to %1, not \"%2\"").arg(kMaxPanels).arg(panels));
  req.now = QDateTime::currentDateTime();
  req.locale = QLocale::system();

  // The first view is the reference, as after an import in the window.
  SourceImage first;
  ReadSourceHeader(req.views.first(), first);
  req.firstPhotoWidth = int32_t(first.Width);
  req.firstPhotoHeight = int32_t(first.Height);
  req.negativeInput = IsNegativeExtension(PathExtension(req.views.first()));
  // Without --height, the height the window would show for this width.
  if (!o.Has(QStringLiteral("--height"))) t.height = HeightFromWidth(t.width, PhotoAspect(first.Width, first.Height));
  const int frames = int(ExpandFrames(req.views, req.lens.frames).size());
  if (req.lens.lenses == Lenses::kVertical) {
    CheckPlateExtent(t, frames, QStringLiteral("--width"), QStringLiteral("--height"));
  } else {
    ExportTexts turned = t;
    std::swap(turned.width, turned.height);
    CheckPlateExtent(turned, frames, QStringLiteral("--height"), QStringLiteral("--width"), QStringLiteral("column"));
  }
  return req;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLineProgram program{"plivora-interlace", "[options] -o OUTPUT VIEW...", kAbout, Options(), nullptr,
                                   [](const ParsedOptions& options, const std::function<void(int)>& progress) {
                                     ExportInterlaced(BuildRequest(options), progress);
                                   }};
  return RunCommandLineProgram(argc, argv, program);
}
