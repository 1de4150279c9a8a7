#include "jobs/press_frame.h"

#include <algorithm>
#include <cstring>

#include "common/error.h"
#include "common/numbers.h"
#include "plate/level_rows.h"

namespace plivora {

PressMarks PlanPressFrame(const ExportParameters& p, const PlateGeometry& plate, bool marks, PlateColour colour,
                          const QString& slug) {
  PressMarks m;
  m.dpi = Real(p.dpiE9) / 1e9L;
  m.columnDots = plate.columnSqueeze;
  m.rowDots = plate.stripCompress;
  m.horizontalLenses = plate.lenses == Lenses::kHorizontal;
  m.stripePeriod = AlignmentStripePeriod(p.dpiE9, p.lpiE9);
  m.fourInks = colour != PlateColour::kGrey;
  m.slug = slug;
  m.slugParts = SplitSlug(slug);
  // The lens count follows from the LPI and the trim, the press knows its
  // DPI, and the bleed shows on the plate; the name goes last.
  if (m.slugParts.size() > kSlugBleed)
    m.slugLeaveOut = {kSlugLenses, kSlugDpi, kSlugBleed, kSlugTrim, kSlugLpi, kSlugColour};
  else if (!m.slugParts.isEmpty())
    m.slugLeaveOut = {kSlugLenses, kSlugDpi, kSlugTrim, kSlugLpi, kSlugColour};
  const Real xRes = Real(plate.xResolutionE9) / 1e9L, yRes = Real(plate.yResolutionE9) / 1e9L;
  const int64_t marginColumns = marks ? Round(kSlugInches * xRes) : 0;
  const int64_t marginRows = marks ? Round(kSlugInches * yRes) : 0;
  m.imageLeft = marginColumns;
  m.imageTop = marginRows;
  m.imageRight = marginColumns + plate.width;
  m.imageBottom = marginRows + plate.imageRows;
  m.width = m.imageRight + marginColumns;
  m.rows = m.imageBottom + marginRows;
  // The trim lines lie the bleed inside the image's edges.
  const Real bleed = Real(p.bleedE4) / 10000;
  m.trimLeft = m.imageLeft + Round(bleed * xRes);
  m.trimRight = m.imageRight - Round(bleed * xRes);
  m.trimTop = m.imageTop + Round(bleed * yRes);
  m.trimBottom = m.imageBottom - Round(bleed * yRes);
  // The margins are drawn on painters of 32-bit rows, too.
  if (marks)
    CheckTiffPixels(m.width, m.rows > INT32_MAX ? int64_t(UINT32_MAX) + 1 : m.rows + plate.stripRows,
                    QStringLiteral(" with its marks"));
  return m;
}

QString SlugText(const QString& name, const ExportParameters& p, const ExportTexts& texts, int64_t lensCount,
                 PlateColour colour) {
  const QString unit = texts.inch ? QStringLiteral("in") : QStringLiteral("cm");
  // Sizes to four digits in the plate's unit: enough to tell plates apart.
  const auto size = [&](int64_t e4) { return QString::number(double(e4) / 10000 * (texts.inch ? 1 : 2.54), 'g', 4); };
  QString text = QStringLiteral("%1  %2 dpi  %3 lpi  %4 lenses  %5  trim %6 x %7 %8")
                     .arg(name, FormatGeneral15(Real(p.dpiE9) / 1e9L), texts.lpi.trimmed())
                     .arg(lensCount)
                     .arg(PlateColourName(colour), size(p.TrimWidthE4()), size(p.TrimHeightE4()), unit);
  if (p.bleedE4 > 0) text += QStringLiteral("  bleed %1 %2").arg(size(p.bleedE4), unit);
  return text;
}

QStringList SplitSlug(const QString& slug) {
  // Counted from the end: the name may hold two spaces itself.
  const QStringList fields = slug.split(kSlugSeparator);
  const bool bleed = fields.size() > 1 && fields.back().startsWith(QStringLiteral("bleed "));
  const int after = bleed ? kSlugBleed : kSlugTrim;  // the parts after the name
  if (fields.size() < after + 1) return {};
  const QStringList name = fields.mid(0, fields.size() - after);
  QStringList parts{name.join(kSlugSeparator)};
  parts += fields.mid(fields.size() - after);
  return parts;
}

namespace {

// The file's pixel for each ink: registration is every ink at once on a
// CMYK plate, black on an RGB plate and the grey 255 on a grey plate, which
// has K alone.
std::array<uint8_t, 256 * 4> MarkPalette(PlateColour colour) {
  std::array<uint8_t, 256 * 4> palette{};
  const auto set = [&](MarkInk ink, std::array<uint8_t, 4> pixel) { std::memcpy(&palette[ink * 4], pixel.data(), 4); };
  switch (colour) {
    case PlateColour::kGrey:
      for (const MarkInk ink : {kRegistration, kCyanInk, kMagentaInk, kYellowInk, kBlackInk}) set(ink, {255, 255, 255, 255});
      break;
    case PlateColour::kCmyk:
      set(kRegistration, {255, 255, 255, 255});
      set(kCyanInk, {255, 0, 0, 0});
      set(kMagentaInk, {0, 255, 0, 0});
      set(kYellowInk, {0, 0, 255, 0});
      set(kBlackInk, {0, 0, 0, 255});
      break;
    case PlateColour::kRgb:
      set(kPaper, {255, 255, 255, 0});
      set(kRegistration, {0, 0, 0, 0});
      set(kCyanInk, {0, 255, 255, 0});
      set(kMagentaInk, {255, 0, 255, 0});
      set(kYellowInk, {255, 255, 0, 0});
      set(kBlackInk, {0, 0, 0, 0});
      break;
  }
  return palette;
}

}  // namespace

PressFrameRows::PressFrameRows(const PressMarks& frame, PlateColour colour)
    : frame_(frame), layout_(LayOutPressMarks(frame)), palette_(MarkPalette(colour)) {
  const std::vector<uint8_t> paper(size_t(std::max(frame.imageLeft, frame.width - frame.imageRight)), kPaper);
  paperLeft_.resize(size_t(frame.imageLeft) * 4);
  paperRight_.resize(size_t(frame.width - frame.imageRight) * 4);
  ExpandIndexedPixels(paper.data(), size_t(frame.imageLeft), palette_.data(), paperLeft_.data());
  ExpandIndexedPixels(paper.data(), size_t(frame.width - frame.imageRight), palette_.data(), paperRight_.data());
}

void PressFrameRows::DrawSides() {
  const int rows = int(frame_.imageBottom - frame_.imageTop);
  const auto keep = [&](std::map<int64_t, std::vector<uint8_t>>& side, int64_t width) {
    return [&side, width, this](const uint8_t* inks, int first, int count) {
      for (int r = 0; r < count; ++r) {
        const uint8_t* row = inks + size_t(r) * size_t(width);
        if (std::all_of(row, row + width, [](uint8_t ink) { return ink == kPaper; })) continue;
        std::vector<uint8_t>& pixels = side[first + r];
        pixels.resize(size_t(width) * 4);
        ExpandIndexedPixels(row, size_t(width), palette_.data(), pixels.data());
      }
    };
  };
  const int64_t rightWidth = frame_.width - frame_.imageRight;
  if (frame_.imageLeft > 0)
    DrawPressMarks(frame_, layout_, 0, int(frame_.imageLeft), frame_.imageTop, rows, keep(left_, frame_.imageLeft));
  if (rightWidth > 0)
    DrawPressMarks(frame_, layout_, frame_.imageRight, int(rightWidth), frame_.imageTop, rows, keep(right_, rightWidth));
}

void PressFrameRows::DrawRows(int64_t first, int count, const std::function<void(const uint8_t* row)>& sink) const {
  const size_t width = size_t(frame_.width);
  std::vector<uint8_t> row(width * 4);
  DrawPressMarks(frame_, layout_, 0, int(width), first, count, [&](const uint8_t* inks, int, int rows) {
    for (int r = 0; r < rows; ++r) {
      ExpandIndexedPixels(inks + size_t(r) * width, width, palette_.data(), row.data());
      sink(row.data());
    }
  });
}

void PressFrameRows::AssembleRow(int64_t r, const uint8_t* image, uint8_t* row) const {
  const auto left = left_.find(r), right = right_.find(r);
  const size_t leftBytes = paperLeft_.size(), imageBytes = size_t(frame_.imageRight - frame_.imageLeft) * 4;
  std::memcpy(row, left == left_.end() ? paperLeft_.data() : left->second.data(), leftBytes);
  std::memcpy(row + leftBytes, image, imageBytes);
  std::memcpy(row + leftBytes + imageBytes, right == right_.end() ? paperRight_.data() : right->second.data(),
              paperRight_.size());
}

}  // namespace plivora
