#include "interlace/export_geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/error.h"
#include "common/numbers.h"

namespace plivora {

namespace {

void RefuseNegative(int64_t value, const QString& what, const QString& text) {
  if (value < 0) Fail(QStringLiteral("The %1 \"%2\" is negative; it must be a positive number").arg(what, text));
}

}  // namespace

int64_t PerInchE9(const QString& text, QChar decimalSeparator) {
  return Round(ParseFloat(text, decimalSeparator) * 100000 * 10000);
}

int64_t LengthE4(const QString& text, bool inch, QChar decimalSeparator) {
  const Real v = ParseFloat(text, decimalSeparator);
  return inch ? Round(v * 10000) : Round(v / 2.54L * 10000);
}

int CompressFactor(const QString& text) {
  const int compress = int(uint32_t(ParseInt(text)) & 0xFF);
  return compress == 0 ? 1 : compress;
}

int64_t BleedE4(const QString& text, bool inch, QChar decimalSeparator) {
  QString number = text.trimmed();
  Real inches = inch ? 1 : 1 / 2.54L;
  const std::pair<const char*, Real> units[] = {{"mm", 1 / 25.4L}, {"cm", 1 / 2.54L}, {"in", 1}};
  for (const auto& [suffix, perUnit] : units)
    if (number.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
      number.chop(2);
      inches = perUnit;
      break;
    }
  int64_t e4 = -1;
  try {
    e4 = Round(ParseFloat(number.trimmed(), decimalSeparator) * inches * 10000);
  } catch (const Error&) {
  }
  if (e4 < 0 || e4 > 100000)
    Fail(QStringLiteral("The bleed \"%1\" must be a length from 0 to 10 inches, in the plate's unit or with mm, cm "
                        "or in (\"3mm\")").arg(text));
  return e4;
}

ExportParameters ParseParameters(const ExportTexts& t, int viewCount) {
  if (viewCount <= 0) Fail(QStringLiteral("There are no views to export; import a series first"));
  if (viewCount > 255)
    Fail(QStringLiteral("A series can hold at most 255 views; this one has %1").arg(viewCount));
  const QChar sep = t.decimalSeparator;
  ExportParameters p;
  p.photoCount = viewCount;
  p.lpiE9 = PerInchE9(t.lpi, sep);
  RefuseNegative(p.lpiE9, QStringLiteral("LPI"), t.lpi);
  if (t.dpi == QLatin1String("(Auto)"))
    p.dpiE9 = Round(Real(p.photoCount) * Real(p.lpiE9));
  else
    p.dpiE9 = PerInchE9(t.dpi, sep);
  RefuseNegative(p.dpiE9, QStringLiteral("DPI"), t.dpi);
  p.widthE4 = LengthE4(t.width, t.inch, sep);
  RefuseNegative(p.widthE4, QStringLiteral("width"), t.width);
  p.heightE4 = LengthE4(t.height, t.inch, sep);
  RefuseNegative(p.heightE4, QStringLiteral("height"), t.height);
  p.compress = CompressFactor(t.compress);
  if (t.bleed != QLatin1String("0")) {
    p.bleedE4 = BleedE4(t.bleed, t.inch, sep);
    p.widthE4 += 2 * p.bleedE4;
    p.heightE4 += 2 * p.bleedE4;
  }
  return p;
}

int64_t CaptionStripRows(int64_t dpiE9, int compress) {
  return Round(0.2L * Real(dpiE9) / Real(compress) / 100000 / 10000);
}

void CheckTiffPixels(int64_t width, int64_t rows, const QString& what) {
  if (width > 0 && width <= INT32_MAX / 4 && rows >= 0 && rows <= int64_t(UINT32_MAX)) return;
  Fail(QStringLiteral("An output of %1 x %2 pixels%3 does not fit a TIFF file; "
                      "reduce the width, the height or the DPI, or raise the compress factor")
           .arg(width)
           .arg(rows)
           .arg(what));
}

PlateExtent ComputeExtent(const ExportParameters& p) {
  const Real lpi = Real(p.lpiE9), dpi = Real(p.dpiE9);
  PlateExtent e;
  e.lensCount = Round(Real(p.widthE4) * lpi / 100000 / 100000000);
  e.outputWidth = Round(Real(e.lensCount) * Divide(dpi, lpi));
  e.printRows = Round(Real(p.heightE4) * dpi / 100000 / 100000000);
  e.outputRows = Trunc(Real(e.printRows) / Real(p.compress));
  return e;
}

ExportGeometry ComputeGeometry(const ExportParameters& p, uint32_t minWidth, uint32_t minHeight) {
  if (minWidth == 0 || minHeight == 0) Fail(QStringLiteral("The series has no reference size; import its views again"));
  ExportGeometry g;
  g.minViewWidth = minWidth;
  g.minViewHeight = minHeight;
  const Real lpi = Real(p.lpiE9), dpi = Real(p.dpiE9);
  const PlateExtent e = ComputeExtent(p);
  g.lensCount = e.lensCount;
  g.outputWidth = e.outputWidth;
  g.printRows = e.printRows;
  g.outputRows = e.outputRows;
  g.rowStepE9 = Round(Divide(Real(minHeight), Real(g.outputRows)) * 100000 * 10000);
  g.columnStepE9 = Round(Divide(Real(minWidth), Real(g.outputWidth)) * 100000 * 10000);
  g.stripRows = CaptionStripRows(p.dpiE9, p.compress);
  g.viewStepE8 = Round(Divide(Real(p.photoCount) * lpi, dpi) * 10000 * 10000);
  g.yResolutionE9 = Round(dpi / Real(p.compress));

  // Whether the file fits its form is the writer's question (plate_writer.h);
  // here only sizes no TIFF holds: rows and columns are 32-bit, and a row
  // must be addressable.
  if (g.outputRows <= 0 || g.stripRows < 0) CheckTiffPixels(0, g.fileRows());
  CheckTiffPixels(g.outputWidth, g.fileRows());
  if (Round(dpi / 10000) > int64_t(UINT32_MAX))
    Fail(QStringLiteral("A resolution of %1 dpi does not fit the TIFF header (at most 42949.67 dpi)")
             .arg(FormatGeneral15(dpi / 1000000000)));
  return g;
}

uint32_t ExportGeometry::SourceColumn(int64_t i) const {
  const int64_t s = Round(Real(i) * Real(columnStepE9) / 100000 / 10000);
  return uint32_t(std::min<int64_t>(s, int64_t(minViewWidth) - 1));
}

uint32_t ExportGeometry::SourceRow(int64_t r) const {
  const int64_t q = Round(Real(r) * Real(rowStepE9) / 100000 / 10000);
  return uint32_t(std::min<int64_t>(q, int64_t(minViewHeight) - 1));
}

namespace {

// Column i's position counted in views.
Real ViewPosition(const ExportGeometry& g, int64_t i) { return Real(i) * Real(g.viewStepE8) / 10000 / 10000; }

// The whole views before position `i` of the pattern moved `shift` columns
// on, and how far into the next it lies: positions before 0 continue the
// pattern, taken modulo photoCount.
std::pair<int64_t, Real> ShiftedPosition(const ExportGeometry& g, int photoCount, int64_t i, int64_t shift) {
  Real t = ViewPosition(g, i - shift);
  if (t < 0) t -= Real(photoCount) * std::floor(t / Real(photoCount));
  const int64_t whole = Trunc(t);
  return {whole, t - Real(whole)};
}

}  // namespace

ColumnViewMap BuildColumnViewMap(const ExportGeometry& g, int photoCount, int64_t shift) {
  ColumnViewMap map;
  const size_t width = size_t(g.outputWidth);
  map.viewIndex.resize(width + 1);
  map.viewFraction.resize(width);
  for (size_t i = 0; i < width; ++i) {
    const auto [whole, rest] = ShiftedPosition(g, photoCount, int64_t(i), shift);
    map.viewIndex[i] = int32_t(whole % photoCount);
    map.viewFraction[i] = int32_t(Round(rest * 10000));
  }
  // The last column's next view: the view after the pattern's end, or what
  // follows in the moved pattern.
  map.viewIndex[width] =
      shift == 0 ? photoCount - 1 : int32_t(ShiftedPosition(g, photoCount, int64_t(width), shift).first % photoCount);
  return map;
}

int64_t PhaseShift(const ExportParameters& p, Real phase) {
  return Round(phase * Divide(Real(p.dpiE9), Real(p.lpiE9)));
}

PlateGeometry ComputePlate(const ExportParameters& p, Lenses lenses, uint32_t minWidth, uint32_t minHeight) {
  PlateGeometry plate;
  plate.lenses = lenses;
  if (lenses == Lenses::kVertical) {
    plate.lens = ComputeGeometry(p, minWidth, minHeight);
    plate.width = plate.lens.outputWidth;
    plate.imageRows = plate.lens.outputRows;
    plate.stripRows = plate.lens.stripRows;
    plate.xResolutionE9 = p.dpiE9;
    plate.yResolutionE9 = plate.lens.yResolutionE9;
    plate.stripCompress = p.compress;
    return plate;
  }
  ExportParameters turned = p;
  std::swap(turned.widthE4, turned.heightE4);
  plate.lens = ComputeGeometry(turned, minHeight, minWidth);
  plate.width = plate.lens.outputRows;
  plate.imageRows = plate.lens.outputWidth;
  plate.stripRows = CaptionStripRows(p.dpiE9, 1);
  plate.xResolutionE9 = plate.lens.yResolutionE9;
  plate.yResolutionE9 = p.dpiE9;
  plate.columnSqueeze = p.compress;
  CheckTiffPixels(plate.width, plate.fileRows());
  return plate;
}

std::vector<int64_t> PanelCuts(const PlateGeometry& plate, int photoCount, int panels, int64_t shift) {
  std::vector<int64_t> cuts{0};
  if (plate.lenses == Lenses::kHorizontal) {
    for (int k = 1; k < panels; ++k) {
      const int64_t cut = Round(Real(k) * Real(plate.width) / Real(panels));
      if (cut <= cuts.back())
        Fail(QStringLiteral("The print is %1 pixels wide: too narrow to cut into %2 panels").arg(plate.width).arg(panels));
      cuts.push_back(cut);
    }
    cuts.push_back(plate.width);
    return cuts;
  }
  const ExportGeometry& g = plate.lens;
  // Where a lens begins: the view sequence starts again at view 1. Lenses
  // are counted from the pattern's start, those before it negative.
  const auto lensOf = [&](int64_t i) {
    const Real t = ViewPosition(g, i - shift);
    const int64_t whole = t < 0 ? int64_t(std::floor(t)) : Trunc(t);
    return whole >= 0 ? whole / photoCount : -((-whole - 1) / photoCount) - 1;
  };
  std::vector<int64_t> lensStarts;
  int64_t lens = lensOf(0);
  for (int64_t i = 1; i < g.outputWidth; ++i) {
    const int64_t next = lensOf(i);
    if (next != lens) lensStarts.push_back(i);
    lens = next;
  }
  for (int k = 1; k < panels; ++k) {
    // The lens start nearest to k x width / panels; the left one on a tie.
    const int64_t target = k * g.outputWidth;  // times panels
    const auto after = std::lower_bound(lensStarts.begin(), lensStarts.end(), target,
                                        [&](int64_t start, int64_t t) { return start * panels < t; });
    int64_t cut = -1;
    if (after != lensStarts.end()) cut = *after;
    if (after != lensStarts.begin() && (cut < 0 || target - *(after - 1) * panels <= cut * panels - target))
      cut = *(after - 1);
    if (cut <= cuts.back())
      Fail(QStringLiteral("The print holds %1 whole lenses across %2 pixels: too few to cut into %3 panels")
               .arg(lensStarts.size() + 1).arg(g.outputWidth).arg(panels));
    cuts.push_back(cut);
  }
  cuts.push_back(g.outputWidth);
  return cuts;
}

}  // namespace plivora
