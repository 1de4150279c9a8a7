#include "jobs/pitch_sheet.h"

#include <QFont>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "common/file_names.h"
#include "common/numbers.h"
#include "common/output_file.h"
#include "drawing/caption_strip.h"
#include "drawing/sheet_drawing.h"
#include "drawing/shrunk_drawing.h"
#include "interlace/horizontal_composer.h"
#include "interlace/row_composer.h"
#include "interlace/row_engine.h"
#include "plate/level_rows.h"
#include "plate/plate_writer.h"
#include "plate/strip_encoders.h"
#include "plate/tiff_header.h"

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
  // Neighbours must differ in their labels and in the LPI they print at.
  for (size_t k = 1; k < texts.size(); ++k)
    if (texts[k] == texts[k - 1] || Round(ParseFloat(texts[k]) * 100000 * 10000) == Round(ParseFloat(texts[k - 1]) * 100000 * 10000))
      Fail(QStringLiteral("A step of %1 is too fine: neighbouring strips would print at LPI %2 and %3, which their labels "
                          "(15 digits) or the LPI's resolution (10^-9) cannot tell apart; take a larger step")
               .arg(t.step.trimmed(), texts[k - 1], texts[k]));
  return texts;
}

// The texts of the export a strip at `lpiText` is the top of: the sheet's
// DPI, width, unit and compress, the strip's height as the export's height.
ExportTexts StripTexts(const PitchSheetTexts& t, const QString& lpiText) {
  ExportTexts e;
  e.dpi = t.dpi;
  e.lpi = lpiText;
  e.width = t.width;
  e.height = t.strip;
  e.compress = t.compress;
  e.inch = t.inch;
  e.decimalSeparator = t.decimalSeparator;
  return e;
}

// The geometry of the export a strip at `lpiText` is the top of; refuses a
// strip with no lens, no pixel column or too few rows to judge.
ExportGeometry StripGeometry(const PitchSheetTexts& t, const QString& lpiText) {
  const ExportParameters p = ParseParameters(StripTexts(t, lpiText), 2);
  const PlateExtent e = ComputeExtent(p);
  const QString unit = t.inch ? QStringLiteral("inch") : QStringLiteral("cm");
  if (e.lensCount == 0)
    Fail(QStringLiteral("A sheet %1 %2 wide holds no whole lens at LPI %3; widen it or raise the LPI")
             .arg(t.width.trimmed(), unit, lpiText));
  if (e.outputWidth == 0)
    Fail(QStringLiteral("At %1 dpi the sheet's %2 lenses come to less than a pixel; raise the DPI").arg(t.dpi.trimmed()).arg(e.lensCount));
  if (e.outputRows < kMinPatternRows)
    Fail(QStringLiteral("A strip of %1 gives %2 image rows; strips need at least %3").arg(t.strip).arg(e.outputRows).arg(kMinPatternRows));
  // Two uniform views of one pixel: the pattern depends on the column map
  // alone, and every export of a black and a white view gives the same rows.
  return ComputeGeometry(p, 1, 1);
}

bool IsAuto(const QString& dpi) {
  return dpi.trimmed().compare(QLatin1String("(Auto)"), Qt::CaseInsensitive) == 0 ||
         dpi.trimmed().compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
}

}  // namespace

std::vector<QString> PitchSheetLpiTexts(const PitchSheetTexts& t) {
  if (IsAuto(t.dpi)) Fail(QStringLiteral("A pitch test prints at the plate setter's DPI; type it instead of (Auto)"));
  ParseParameters(StripTexts(t, t.lpi), 2);  // the nominal strip's texts, in the export's order
  const Real lpi = ParseFloat(t.lpi, t.decimalSeparator);
  if (t.phase) return std::vector<QString>(kPhaseStrips, NominalText(t.lpi, lpi));
  return LpiTexts(t, lpi);
}

PitchSheetTexts SheetTexts(const ExportSettings& s) {
  PitchSheetTexts t;
  t.dpi = s.texts.dpi;
  t.lpi = s.texts.lpi;
  t.width = s.texts.width;
  t.strip = s.texts.height;
  t.compress = s.texts.compress;
  t.inch = s.texts.inch;
  t.decimalSeparator = s.texts.decimalSeparator;
  t.lenses = s.lens.lenses;
  t.mirror = s.lens.mirror;
  return t;
}

PitchSheetPlan PlanPitchSheet(const PitchSheetTexts& t) {
  const std::vector<QString> texts = PitchSheetLpiTexts(t);
  PitchSheetPlan plan;
  plan.phase = t.phase;
  plan.parameters = ParseParameters(StripTexts(t, t.lpi), 2);
  const ExportParameters& p = plan.parameters;
  const Real lpi = ParseFloat(t.lpi, t.decimalSeparator);
  const Real dpi = Real(p.dpiE9) / 1000000000;

  plan.headerRows = BandRows(0.7L, p);
  plan.labelRows = BandRows(0.2L, p);
  int64_t row = plan.headerRows;
  for (size_t k = 0; k < texts.size(); ++k) {
    PitchStrip s;
    s.lpiText = texts[k];
    s.geometry = StripGeometry(t, texts[k]);
    s.nominal = t.phase ? k == 0 : texts[k] == NominalText(t.lpi, lpi);
    s.label = t.phase ? QStringLiteral("phase %1/8").arg(k) : texts[k];
    if (t.phase) s.shift = PhaseShift(p, Real(int64_t(k)) / kPhaseStrips);
    s.firstRow = row + plan.labelRows;
    s.lastRow = s.firstRow + s.geometry.outputRows - 1;
    row = s.lastRow + 1;
    plan.width = std::max(plan.width, s.geometry.outputWidth);
    plan.strips.push_back(s);
  }
  plan.imageRows = row;
  plan.captionRows = plan.strips.front().geometry.stripRows;
  plan.yResolutionE9 = plan.strips.front().geometry.yResolutionE9;

  CheckFitsPlainTiff(QStringLiteral("A sheet"), plan.width, plan.fileRows(),
                     QStringLiteral("use fewer or shorter strips, a narrower sheet or a higher compress factor"));

  // Across, then down: horizontal lenses squeeze the columns.
  const bool vertical = t.lenses == Lenses::kVertical;
  const QString resolution = QStringLiteral("%1 x %2 dpi")
                                 .arg(Number(vertical ? dpi : dpi / Real(p.compress)), Number(vertical ? dpi / Real(p.compress) : dpi));
  plan.headerText = t.phase ? QStringLiteral("Print at 100 % \u2014 %1 \u2014 phase sheet at LPI %2").arg(resolution, texts.front())
                            : QStringLiteral("Print at 100 % \u2014 %1 \u2014 LPI from %2 to %3 step %4")
                                  .arg(resolution, texts.front(), texts.back(), t.step);
  return plan;
}

namespace {

// A black view (C = M = Y = 0, K = 255) then a white one, one pixel each.
constexpr uint8_t kBlackThenWhite[2][4] = {{0, 0, 0, 255}, {0, 0, 0, 0}};

// The two views of every pattern: the black and the white pixel.
void ReadBlackThenWhite(size_t view, uint32_t, uint8_t* dest) { std::memcpy(dest, kBlackThenWhite[view], 4); }

void WriteVerticalSheet(const PitchSheetRequest& req, const PitchSheetPlan& plan, PlateWriter& plate,
                        ProgressReporter& progress) {
  const ExportParameters& p = plan.parameters;
  const int width = int(plan.width);
  const Real dpi = Real(p.dpiE9) / 1000000000;
  RowEngine engine(ComposeThreads(req.threads));
  const auto sink = [&](const uint8_t* rows, size_t count, size_t stride) { plate.Append(rows, count, stride); };
  // The header, labels and caption go to the file band by band as they are
  // drawn: at compress 1 a wide sheet's header alone is hundreds of MB.
  const auto levels = [&](const uint8_t* rows, int, int count) { AppendLevelRows(rows, size_t(count), width, plate); };
  DrawShrunk("pitch sheet's header", width, int(plan.headerRows), p.compress,
             [&](QPainter& painter) { DrawSheetHeader(painter, plan.headerText, int(plan.width), dpi); }, levels);
  for (const PitchStrip& strip : plan.strips) {
    DrawShrunk("pitch sheet's label", width, int(plan.labelRows), p.compress,
               [&](QPainter& painter) { DrawStripLabel(painter, strip.label, strip.nominal, dpi); }, levels);
    // The strip's pattern: the top rows of an export of the two views.
    const ColumnViewMap map = BuildColumnViewMap(strip.geometry, 2);
    RowComposer composer(strip.geometry, map, {1, 1}, GreyRule(false));
    const auto read = [&](uint32_t which, uint8_t* set) { composer.ReadRowSet(which, set, ReadBlackThenWhite); };
    engine.WriteRows(read, composer, sink, {size_t(strip.shift), size_t(width)}, [&](int64_t done) {
      progress.Set(Real(strip.firstRow + done) * 99 / Real(plan.fileRows()));
    });
  }
  DrawCaptionStrip({width, int32_t(plan.captionRows), p.compress, p.dpiE9, AbsoluteFileName(req.outputPath), req.now, {}},
                   levels);
}

// The rows of the sheet for horizontal lenses, through the row engine: a
// row set is one row of the sheet's text (its levels), and over it the
// patterns of the strips the row crosses are composed, each in its own
// columns: a horizontal-lens plate of the black and the white view, moved
// down by the strip's shift (white above) as the vertical sheet moves it
// right, and cut at the bottom.
class TurnedSheet final : public ImageComposer {
 public:
  TurnedSheet(const PitchSheetPlan& plan, int width, int rows) : width_(size_t(width)), rows_(rows) {
    for (const PitchStrip& strip : plan.strips) {
      PlateGeometry sheetStrip;
      sheetStrip.lenses = Lenses::kHorizontal;
      sheetStrip.lens = strip.geometry;
      sheetStrip.width = strip.geometry.outputRows;
      sheetStrip.imageRows = strip.geometry.outputWidth;
      const ColumnViewMap map = BuildColumnViewMap(strip.geometry, 2);
      patterns_.push_back({size_t(strip.firstRow), strip.shift, std::min<int64_t>(strip.shift + sheetStrip.imageRows, rows),
                           std::make_unique<HorizontalComposer>(sheetStrip, map, 1, GreyRule(false))});
    }
  }
  int64_t Rows() const override { return rows_; }
  size_t Width() const override { return width_; }
  size_t RowSetBytes() const override { return width_; }
  uint32_t RowSetOf(int64_t row) const override { return uint32_t(row); }
  void ReadRowSet(uint32_t which, uint8_t* set, const ViewRowReader& read) const override { read(0, which, set); }
  void Compose(int64_t row, const uint8_t* levels, uint8_t* out, size_t begin, size_t end) override {
    ExpandCaptionPixels(levels + begin, end - begin, out + begin * 4);
    for (const Pattern& pattern : patterns_) {
      if (row < pattern.shift || row >= pattern.end) continue;
      const size_t first = pattern.column, last = first + pattern.composer->Width();
      const size_t from = std::max(begin, first), to = std::min(end, last);
      if (from >= to) continue;
      uint8_t set[8] = {};
      pattern.composer->ReadRowSet(uint32_t(row - pattern.shift), set, ReadBlackThenWhite);
      pattern.composer->Compose(row - pattern.shift, set, out + first * 4, from - first, to - first);
    }
  }

 private:
  struct Pattern {
    size_t column;
    int64_t shift, end;
    std::unique_ptr<HorizontalComposer> composer;
  };
  size_t width_;
  int64_t rows_;
  std::vector<Pattern> patterns_;
};

// The sheet for horizontal lenses: the plan's rows become columns. Its text
// is drawn in the vertical sheet's coordinates (u across, v down, at the
// full resolution), turned so that v runs across and u up the sheet, and
// squeezed across by the compress factor.
void WriteHorizontalSheet(const PitchSheetRequest& req, const PitchSheetPlan& plan, PlateWriter& plate,
                          ProgressReporter& progress) {
  const ExportParameters& p = plan.parameters;
  const Real dpi = Real(p.dpiE9) / 1000000000;
  const int width = int(plan.imageRows), rows = int(plan.width);
  const QTransform turned(0, -1, 1, 0, 0, rows);  // (u, v) to (v, rows - u)
  const DrawFn text = [&](QPainter& painter) {
    painter.scale(1.0 / p.compress, 1.0);
    painter.setWorldTransform(turned, true);
    DrawSheetHeader(painter, plan.headerText, int(plan.width), dpi);
    for (const PitchStrip& strip : plan.strips) {
      painter.save();
      painter.translate(0, Real(strip.firstRow - plan.labelRows) * p.compress);
      DrawStripLabel(painter, strip.label, strip.nominal, dpi);
      painter.restore();
    }
  };
  TurnedSheet sheet(plan, width, rows);
  ShrunkRows levels("pitch sheet's text", width, rows, 1, text);
  RowEngine engine(ComposeThreads(req.threads));
  engine.WriteRows(
      [&](uint32_t which, uint8_t* set) {
        sheet.ReadRowSet(which, set, [&](size_t, uint32_t row, uint8_t* dest) { std::memcpy(dest, levels.Row(int(row)), size_t(width)); });
      },
      sheet, [&](const uint8_t* rows, size_t count, size_t stride) { plate.Append(rows, count, stride); },
      {0, size_t(width)}, [&](int64_t done) { progress.Set(Real(done) * 99 / Real(rows + plan.captionRows)); });
  DrawCaptionStrip({width, int32_t(CaptionStripRows(p.dpiE9, 1)), 1, p.dpiE9, AbsoluteFileName(req.outputPath), req.now, {}, p.compress},
                   [&](const uint8_t* levels, int, int count) { AppendLevelRows(levels, size_t(count), width, plate); });
}

}  // namespace

PitchSheetPlan WritePitchSheet(const PitchSheetRequest& req, const ProgressFn& progressFn) {
  ProgressReporter progress(progressFn);
  const PitchSheetPlan plan = PlanPitchSheet(req.texts);
  const ExportParameters& p = plan.parameters;
  const bool vertical = req.texts.lenses == Lenses::kVertical;
  StripEncoders encoders(0);  // the sheet is the plain file
  PlateLayout layout;
  layout.width = vertical ? plan.width : plan.imageRows;
  layout.rows = vertical ? plan.fileRows() : plan.width + CaptionStripRows(p.dpiE9, 1);
  layout.xResolutionE9 = vertical ? p.dpiE9 : plan.yResolutionE9;
  layout.yResolutionE9 = vertical ? plan.yResolutionE9 : p.dpiE9;
  layout.dateTime = TiffDateTime(req.now, req.locale);
  if (!vertical)
    CheckFitsPlainTiff(QStringLiteral("A sheet"), layout.width, layout.rows,
                       QStringLiteral("use fewer or narrower strips, a shorter sheet or a higher compress factor"));
  std::unique_ptr<PlateWriter> plate = CreatePlateWriter(req.outputPath, layout, OutputForm{}, encoders, QString());
  if (req.texts.mirror) plate = MirroredPlate(std::move(plate), layout.width);
  if (vertical)
    WriteVerticalSheet(req, plan, *plate, progress);
  else
    WriteHorizontalSheet(req, plan, *plate, progress);
  plate->Finish();
  plate->file().Commit();
  progress.Set(100);
  return plan;
}

}  // namespace plivora
