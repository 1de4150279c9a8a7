// The output summary in the top band: what an export of the fields and the
// view list would write, computed by the export's own parameter and
// geometry functions, so it can never disagree with the export.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>

#include "app/form1.h"
#include "common/error.h"
#include "common/numbers.h"
#include "interlace/export_geometry.h"
#include "plate/plate_writer.h"
#include "series/view_series.h"

namespace plivora {

namespace {

QString Decimal(Real value, int decimals) { return QLocale().toString(double(value), 'f', decimals); }

// Sizes to 4 significant digits: 3 cm is held as 11811 ten-thousandths of
// an inch, which comes back as 2.999994 cm.
QString Size(Real value) { return QLocale().toString(double(value), 'g', 4); }

}  // namespace

void TForm1::UpdateOutputSummary() {
  const ExportTexts t = FieldTexts();
  const QChar sep = t.decimalSeparator;
  const int views = ListBox1->count();

  QString warning;
  QStringList lines;
  bool sized = false;  // the fields give an output
  // A field that can't be read is named; nothing else is worked out.
  const std::pair<QString, QString> fields[] = {
      {QStringLiteral("DPI"), t.dpi == QLatin1String("(Auto)") ? QStringLiteral("1") : t.dpi},
      {QStringLiteral("LPI"), t.lpi}, {QStringLiteral("Width"), t.width}, {QStringLiteral("Height"), t.height}};
  for (const auto& [name, text] : fields) {
    try {
      ParseFloat(text, sep);
    } catch (const Error&) {
      lines << QStringLiteral("%1: not a number").arg(name);
    }
  }
  try {
    ParseInt(t.compress);
  } catch (const Error&) {
    lines << QStringLiteral("Compress: not a whole number");
  }
  if (lines.isEmpty()) {
    try {
      // The series as the lens shows it; the lenses' direction decides which
      // way they are counted.
      const LensOptions& lens = setup_.lens;
      const int frames = views > 0 ? int(FrameIndices(views, lens.frames).size()) : 0;
      const ExportParameters p = ParseParameters(t, std::clamp(frames, 1, 255));
      const uint32_t w = FirstPhotoWidth > 0 ? uint32_t(FirstPhotoWidth) : 1;
      const uint32_t h = FirstPhotoHeight > 0 ? uint32_t(FirstPhotoHeight) : 1;
      const PlateGeometry plate = ComputePlate(p, lens.lenses, w, h);
      const Real dpi = Real(p.dpiE9) / 1000000000, lpi = Real(p.lpiE9) / 1000000000;
      const Real perLens = Divide(dpi, lpi);
      const Real unit = t.inch ? 1 : 2.54L;
      lines << QStringLiteral("%1 x %2 px, %3 x %4 %5")
                   .arg(plate.width)
                   .arg(plate.fileRows())
                   .arg(Size(Real(p.widthE4) / 10000 * unit), Size(Real(p.heightE4) / 10000 * unit),
                        t.inch ? QStringLiteral("in") : QStringLiteral("cm"));
      lines << QStringLiteral("%1 lenses%2, %3 px per lens")
                   .arg(plate.lens.lensCount)
                   .arg(lens.lenses == Lenses::kHorizontal ? QStringLiteral(" down") : QString())
                   .arg(Decimal(perLens, 2));
      QString last = frames > 0 ? QStringLiteral("%1 px per view").arg(Decimal(perLens / frames, 2)) : QString();
      if (t.dpi == QLatin1String("(Auto)")) last += QStringLiteral("%1%2 dpi").arg(last.isEmpty() ? "" : ", ", QLocale().toString(double(dpi), 'g', 6));
      const int samples = setup_.colour.plate == PlateColour::kRgb ? 3 : 4;
      const Real bytes = 334 + Real(plate.fileRows()) * Real(plate.width) * samples;
      last += QStringLiteral("%1%2 MB").arg(last.isEmpty() ? "" : ", ", Decimal(bytes / 1000000, 1));
      lines << last;
      sized = true;
      if (frames > 0 && perLens < frames)
        warning = QStringLiteral("A lens holds %1 pixels but there are %2 views: some views would never be printed")
                      .arg(Decimal(perLens, 2)).arg(frames);
      // A plain file past 4 GiB is refused by the export before its first
      // pixel; that warning outweighs the one above.
      try {
        CheckFitsPlainTiff(QStringLiteral("An output"), plate.width, plate.fileRows(), TooLargeAdvice(), samples);
      } catch (const Error& e) {
        warning = e.message();
      }
    } catch (const Error& e) {
      lines << e.message();
      warning = e.message();
    }
  }
  // Under the sizes, how the frames meet the lens when not as listed, and
  // the plate's colours, cut to the label's width (a profile's description
  // can be long; the tip then holds the whole line); a profile the export
  // would refuse outweighs every other warning.
  QString tip;
  if (sized && !setupSummary_.isEmpty()) {
    const QString lens = LensSummary(setup_.lens, setup_.phaseText);
    const QString line = lens.isEmpty() ? setupSummary_ : lens + QStringLiteral("; ") + setupSummary_;
    lines << OutputSummary->fontMetrics().elidedText(line, Qt::ElideRight, OutputSummary->width());
    if (lines.last() != line) tip = line;
  }
  if (!setupProblem_.isEmpty()) warning = setupProblem_;
  OutputSummary->setText(lines.join(QChar('\n')));
  OutputSummary->setToolTip(warning.isEmpty() ? tip : warning);
  OutputSummary->setStyleSheet(warning.isEmpty() ? QString() : QStringLiteral("color: red"));
}

}  // namespace plivora
