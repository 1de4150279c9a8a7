// The output summary in the top band: what an export of the fields, the
// print setup and the view list would write, told from the export's own
// plan of the plate (export_plan.h), so it says what --dry-run says. The
// plan here opens no view: it takes the reference view's size and the
// profile the print setup would have the plate carry.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>

#include "app/field_words.h"
#include "app/form1.h"
#include "app/wording.h"
#include "common/error.h"
#include "common/numbers.h"
#include "jobs/export_plan.h"
#include "series/view_series.h"

namespace plivora {

namespace {

QString Decimal(Real value, int decimals) { return QLocale().toString(double(value), 'f', decimals); }

// Sizes to 4 significant digits: 3 cm is held as 11811 ten-thousandths of
// an inch, which comes back as 2.999994 cm.
QString Size(Real value) { return QLocale().toString(double(value), 'g', 4); }

// The plan the export would make, and a refusal of the plain file (past 4
// GiB) as a warning beside it rather than instead of it.
PlatePlan SummaryPlan(ExportRequest request, int frames, uint32_t w, uint32_t h, const QByteArray& profile, QString* tooLarge) {
  try {
    return PlanPlate(request, frames, w, h, profile);
  } catch (const OptionError&) {
    throw;
  } catch (const Error& e) {
    if (!request.settings.form.Plain()) throw;
    *tooLarge = e.message();
    request.settings.form.bigTiff = true;
    return PlanPlate(request, frames, w, h, profile);
  }
}

// What the summary tells: its lines, whole, and the warning that turns it
// red (a field or profile the export would refuse, or a plate that would
// print badly), if any.
struct Told {
  QStringList lines;
  QString warning;
};

// The plate's three lines: the file's pixels and size (with bleed or marks,
// the bled size), the lenses, the bytes (and the trim size).
Told PlateLines(const PlatePlan& plan, const ExportSettings& s, int frames) {
  Told told;
  const PlateSummary sum = SummaryOf(plan);
  const bool vertical = s.lens.lenses == Lenses::kVertical;
  const Real unit = s.texts.inch ? 1 : 2.54L;
  const QString unitName = UnitWord(s.texts.inch);
  const auto size = [&](int64_t e4) { return Size(Real(e4) / 10000 * unit); };
  const QString comma = Words(QStringLiteral(", "), QStringLiteral("，"));
  // With bleed or marks: the file's pixels (margin included) and the bled
  // size, the lenses counted over it, and the trim size after the file's
  // bytes (the label is narrow).
  const bool press = s.bleedE4 > 0 || s.marks;
  told.lines << (press ? Words(QStringLiteral("%1 x %2 px, bled %3 x %4 %5"), QStringLiteral("%1 x %2 像素，含出血 %3 x %4 %5"))
                       : Words(QStringLiteral("%1 x %2 px, %3 x %4 %5"), QStringLiteral("%1 x %2 像素，%3 x %4 %5")))
                    .arg(sum.fileWidth)
                    .arg(sum.fileRows)
                    .arg(size(sum.widthE4), size(sum.heightE4), unitName);
  told.lines << (vertical ? Words(QStringLiteral("%1 lenses, %2 px per lens"), QStringLiteral("%1 条光栅，每条 %2 像素"))
                          : Words(QStringLiteral("%1 lenses down, %2 px per lens"), QStringLiteral("竖向 %1 条光栅，每条 %2 像素")))
                    .arg(sum.lensCount)
                    .arg(Decimal(sum.pixelsPerLens, 2));
  if (s.bleedE4 > 0) told.lines.last() += Words(QStringLiteral(" (over bleed)"), QStringLiteral("（含出血）"));
  QString last = frames > 0 ? Words(QStringLiteral("%1 px per view"), QStringLiteral("每图 %1 像素")).arg(Decimal(sum.pixelsPerLens / frames, 2))
                            : QString();
  const auto add = [&](const QString& part) { last += (last.isEmpty() ? QString() : comma) + part; };
  if (s.autoDpi) add(QStringLiteral("%1 dpi").arg(QLocale().toString(double(Real(plan.parameters.dpiE9) / 1000000000), 'g', 6)));
  add(QStringLiteral("%1 MB").arg(Decimal(Real(sum.bytes ? *sum.bytes : sum.rawBytes) / 1000000, 1)));
  if (press)
    add(Words(QStringLiteral("trim %1 x %2 %3"), QStringLiteral("成品 %1 x %2 %3")).arg(size(sum.trimWidthE4), size(sum.trimHeightE4), unitName));
  // The factor is the typed integer's low eight bits: 300 is taken as 44.
  const bool compressTaken = ParseInt(s.texts.compress) != sum.compress;
  if (compressTaken) add(Words(QStringLiteral("compress %1"), QStringLiteral("压缩 %1")).arg(sum.compress));
  told.lines << last;
  if (frames > 0 && sum.pixelsPerLens < frames)
    told.warning = Words(QStringLiteral("A lens holds %1 pixels but there are %2 views: some views would never be printed"),
                         QStringLiteral("一条光栅只有 %1 像素，却有 %2 张图：有的图永远印不出来"))
                       .arg(Decimal(sum.pixelsPerLens, 2)).arg(frames);
  if (compressTaken)
    told.warning = Words(QStringLiteral("Compress %1 is taken as %2 (the factor is the number modulo 256, 0 counting as 1)"),
                         QStringLiteral("竖向压缩 %1 按 %2 计（取 256 的余数，0 按 1 计）"))
                       .arg(s.texts.compress.trimmed()).arg(sum.compress);
  return told;
}

}  // namespace

// The label shows four lines, each cut with an ellipsis where it is wider
// than the label; its tip holds the warning and the whole summary.
void TForm1::UpdateOutputSummary() {
  const int views = ListBox1->count();
  // Made views stand in the list's place: their count and size.
  int madeFrames = 0;
  QString madeWarning;
  const QStringList made = MadeLines(&madeFrames, &madeWarning);
  Told told;
  bool sized = false;  // the fields give an output
  QString tooLarge;
  try {
    // A field that can't be used is named, in red, in the operator's words.
    const ExportSettings s = WindowSettings();
    const int listed = made.isEmpty() ? views : madeFrames;
    const int frames = listed > 0 ? int(FrameIndices(listed, s.lens.frames).size()) : 0;
    ExportRequest request;
    request.settings = s;
    request.outputPath = QStringLiteral("summary.tif");
    request.tooLargeAdvice = TooLargeAdvice();
    const uint32_t w = FirstPhotoWidth > 0 ? uint32_t(FirstPhotoWidth) : 1;
    const uint32_t h = FirstPhotoHeight > 0 ? uint32_t(FirstPhotoHeight) : 1;
    try {
      told = PlateLines(SummaryPlan(request, std::clamp(frames, 1, 255), w, h, setupProfile_, &tooLarge), s, frames);
      sized = true;
    } catch (const OptionError& e) {
      told.lines << FieldWords(e, s.lens.lenses == Lenses::kVertical);
    }
  } catch (const OptionError& e) {
    told.lines << FieldWords(e);
  } catch (const Error& e) {
    told.lines << CoreWords(QStringLiteral("无法导出：%1"), e.message());
  }
  if (!sized) told.warning = told.lines.last();
  // A plain file past 4 GiB is refused by the export before its first
  // pixel; that warning outweighs those of the plate.
  if (!tooLarge.isEmpty()) told.warning = CoreWords(QStringLiteral("无法导出：%1"), tooLarge);
  // Views that are no file now, then how the frames meet the lens when not
  // as listed and the plate's colours; a profile the export would refuse
  // outweighs every other warning.
  if (const QStringList missing = MarkMissingViews(); !missing.isEmpty()) {
    told.lines << Words(QStringLiteral("%1 of the %2 views are missing"), QStringLiteral("%2 张图中缺少 %1 张")).arg(missing.size()).arg(views);
    told.warning = told.lines.last();
  }
  // The made views come first after the plate: what the export reads.
  told.lines << made;
  if (!madeWarning.isEmpty() && told.warning.isEmpty()) told.warning = madeWarning;
  if (sized && !setupSummary_.isEmpty()) {
    const QString lens = LensSummary(setup_.settings);
    told.lines << (lens.isEmpty() ? setupSummary_ : lens + Words(QStringLiteral("; "), QStringLiteral("；")) + setupSummary_);
  }
  // The depth budget once Auto align has measured it, after every line the
  // summary had before; a budget that ghosts turns it red unless a refusal
  // already does.
  if (sized) {
    const QStringList depth = DepthBudgetLines();
    told.lines << depth;
    if (depth.size() > 2 && told.warning.isEmpty()) told.warning = depth.last();
  }
  if (!setupProblem_.isEmpty()) told.warning = setupProblem_;
  QStringList shown;
  for (const QString& line : told.lines.mid(0, 4))
    shown << OutputSummary->fontMetrics().elidedText(line, Qt::ElideRight, OutputSummary->contentsRect().width());
  OutputSummary->setText(shown.join(QChar('\n')));
  const QString whole = told.lines.join(QChar('\n'));
  OutputSummary->setToolTip(told.warning.isEmpty() || told.lines.contains(told.warning) ? whole : told.warning + QStringLiteral("\n\n") + whole);
  OutputSummary->setStyleSheet(told.warning.isEmpty() ? QString() : QStringLiteral("color: red"));
  ShowTitle();
}

}  // namespace plivora
