// The output summary in the top band: what an export of the fields and the
// view list would write, computed by the export's own parameter and
// geometry functions, so it can never disagree with the export.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>

#include "app/form1.h"
#include "app/wording.h"
#include "common/error.h"
#include "common/numbers.h"
#include "interlace/export_geometry.h"
#include "jobs/press_frame.h"
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
  // A field that can't be used is named, in red, in the operator's words;
  // nothing else is worked out.
  const bool autoDpi = t.dpi == QLatin1String("(Auto)");
  const std::pair<QString, QString> fields[] = {
      {QStringLiteral("DPI"), autoDpi ? QStringLiteral("1") : t.dpi}, {QStringLiteral("LPI"), t.lpi},
      {Words(QStringLiteral("Width"), QStringLiteral("宽度")), t.width},
      {Words(QStringLiteral("Height"), QStringLiteral("高度")), t.height}};
  for (const auto& [name, text] : fields) {
    try {
      if (!(ParseFloat(text, sep) > 0)) lines << Words(QStringLiteral("%1 must be above 0"), QStringLiteral("%1 必须大于 0")).arg(name);
    } catch (const Error&) {
      lines << Words(QStringLiteral("%1 is not a number"), QStringLiteral("%1 不是数字")).arg(name);
    }
  }
  int64_t typedCompress = 0;
  try {
    typedCompress = ParseInt(t.compress);
  } catch (const Error&) {
    lines << Words(QStringLiteral("Compress is not a whole number"), QStringLiteral("竖向压缩不是整数"));
  }
  if (!lines.isEmpty()) warning = lines.join(QChar('\n'));
  if (lines.isEmpty()) {
    try {
      // The series as the lens shows it; the lenses' direction decides which
      // way they are counted.
      const LensOptions& lens = setup_.lens;
      const int frames = views > 0 ? int(FrameIndices(views, lens.frames).size()) : 0;
      const ExportParameters p = ParseParameters(t, std::clamp(frames, 1, 255));
      const uint32_t w = FirstPhotoWidth > 0 ? uint32_t(FirstPhotoWidth) : 1;
      const uint32_t h = FirstPhotoHeight > 0 ? uint32_t(FirstPhotoHeight) : 1;
      // A plate without a lens, a pixel or a row, said as the fields make it.
      ExportParameters across = p;
      if (lens.lenses == Lenses::kHorizontal) std::swap(across.widthE4, across.heightE4);
      const PlateExtent e = ComputeExtent(across);
      const bool vertical = lens.lenses == Lenses::kVertical;
      if (e.lensCount == 0)
        Fail(Words(QStringLiteral("The %1 holds no whole lens at this LPI"), QStringLiteral("%1 容不下一条完整的光栅"))
                 .arg(vertical ? Words(QStringLiteral("width"), QStringLiteral("宽度")) : Words(QStringLiteral("height"), QStringLiteral("高度"))));
      if (e.outputWidth == 0) Fail(Words(QStringLiteral("The DPI is too low for this LPI"), QStringLiteral("输出精度对此线数太低")));
      if (e.outputRows == 0)
        Fail(Words(QStringLiteral("The %1 gives no image %2: raise it or the DPI, or lower the compress factor"),
                   QStringLiteral("%1 不足一%2：加大它或输出精度，或减小压缩倍数"))
                 .arg(vertical ? Words(QStringLiteral("height"), QStringLiteral("高度")) : Words(QStringLiteral("width"), QStringLiteral("宽度")),
                      vertical ? Words(QStringLiteral("row"), QStringLiteral("行")) : Words(QStringLiteral("column"), QStringLiteral("列"))));
      const PlateGeometry plate = ComputePlate(p, lens.lenses, w, h);
      const Real dpi = Real(p.dpiE9) / 1000000000, lpi = Real(p.lpiE9) / 1000000000;
      const Real perLens = Divide(dpi, lpi);
      const Real unit = t.inch ? 1 : 2.54L;
      const QString unitName = t.inch ? QStringLiteral("in") : QStringLiteral("cm");
      // With bleed or marks: the file's pixels (margin included) and the
      // bled size, the lenses counted over it, and the trim size after the
      // file's bytes (the label is narrow).
      const bool press = p.bleedE4 > 0 || setup_.marks;
      const PressMarks frame = PlanPressFrame(p, plate, setup_.marks, setup_.colour.plate, QString());
      const int64_t fileWidth = frame.width, fileRows = frame.rows + plate.stripRows;
      if (!press)
        lines << QStringLiteral("%1 x %2 px, %3 x %4 %5")
                     .arg(plate.width)
                     .arg(plate.fileRows())
                     .arg(Size(Real(p.widthE4) / 10000 * unit), Size(Real(p.heightE4) / 10000 * unit), unitName);
      else
        lines << Words(QStringLiteral("%1 x %2 px, bled %3 x %4 %5"), QStringLiteral("%1 x %2 像素，含出血 %3 x %4 %5"))
                     .arg(fileWidth)
                     .arg(fileRows)
                     .arg(Size(Real(p.widthE4) / 10000 * unit), Size(Real(p.heightE4) / 10000 * unit), unitName);
      lines << (vertical ? Words(QStringLiteral("%1 lenses, %2 px per lens"), QStringLiteral("%1 条光栅，每条 %2 像素"))
                         : Words(QStringLiteral("%1 lenses down, %2 px per lens"), QStringLiteral("竖向 %1 条光栅，每条 %2 像素")))
                   .arg(plate.lens.lensCount)
                   .arg(Decimal(perLens, 2));
      if (p.bleedE4 > 0) lines.last() += Words(QStringLiteral(" (over bleed)"), QStringLiteral("（含出血）"));
      QString last = frames > 0 ? Words(QStringLiteral("%1 px per view"), QStringLiteral("每图 %1 像素")).arg(Decimal(perLens / frames, 2)) : QString();
      if (autoDpi) last += QStringLiteral("%1%2 dpi").arg(last.isEmpty() ? "" : ", ", QLocale().toString(double(dpi), 'g', 6));
      const int samples = setup_.colour.plate == PlateColour::kRgb ? 3 : 4;
      const Real bytes = 334 + Real(fileRows) * Real(fileWidth) * samples;
      last += QStringLiteral("%1%2 MB").arg(last.isEmpty() ? "" : ", ", Decimal(bytes / 1000000, 1));
      // The factor is the typed integer's low eight bits: 300 is taken as 44.
      if (press)
        last += Words(QStringLiteral(", trim %1 x %2 %3"), QStringLiteral("，成品 %1 x %2 %3"))
                    .arg(Size(Real(p.TrimWidthE4()) / 10000 * unit), Size(Real(p.TrimHeightE4()) / 10000 * unit), unitName);
      const bool compressTaken = typedCompress != p.compress;
      if (compressTaken) last += Words(QStringLiteral(", compress %1"), QStringLiteral("，压缩 %1")).arg(p.compress);
      lines << last;
      sized = true;
      if (frames > 0 && perLens < frames)
        warning = Words(QStringLiteral("A lens holds %1 pixels but there are %2 views: some views would never be printed"),
                        QStringLiteral("一条光栅只有 %1 像素，却有 %2 张图：有的图永远印不出来"))
                      .arg(Decimal(perLens, 2)).arg(frames);
      if (compressTaken)
        warning = Words(QStringLiteral("Compress %1 is taken as %2 (the factor is the number modulo 256, 0 counting as 1)"),
                        QStringLiteral("竖向压缩 %1 按 %2 计（取 256 的余数，0 按 1 计）"))
                      .arg(t.compress.trimmed()).arg(p.compress);
      // A plain file past 4 GiB is refused by the export before its first
      // pixel; that warning outweighs the one above.
      try {
        CheckFitsPlainTiff(QStringLiteral("An output"), fileWidth, fileRows, TooLargeAdvice(), samples);
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
