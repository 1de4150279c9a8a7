#include "jobs/press_frame.h"

#include <algorithm>
#include <cstring>

#include "support/test_support.h"

namespace plivora {
namespace {

// The margin's ink codes over file columns [left, left + width) x rows
// [top, top + rows) of the marked plate, drawn from `layout`.
struct Window {
  int64_t left = 0, top = 0;
  int width = 0, rows = 0;
  std::vector<uint8_t> inks;
  uint8_t at(int64_t c, int64_t r) const { return inks[size_t(r - top) * size_t(width) + size_t(c - left)]; }
};

Window Draw(const PressMarks& frame, const PressLayout& layout, int64_t left, int64_t top, int width, int rows) {
  Window w{left, top, width, rows, std::vector<uint8_t>(size_t(width) * size_t(rows))};
  DrawPressMarks(frame, layout, left, width, top, rows, [&](const uint8_t* inks, int first, int count) {
    std::memcpy(w.inks.data() + size_t(first) * size_t(width), inks, size_t(count) * size_t(width));
  });
  return w;
}

enum class Slug { kWhole, kPartsLeftOut, kNameShortened };

struct Plate {
  const char* what;
  bool inch;
  const char *width, *height, *dpi, *compress, *bleed;
  Lenses lenses;
  PlateColour colour;
  QString name;
  bool usual;   // the slug line stays where it always was
  Slug drawn;   // what of the slug line is drawn
};

void PrintTo(const Plate& plate, std::ostream* os) { *os << plate.what; }

const QString kLongName = QString(160, QChar('n')) + QStringLiteral(".tif");

// Small and narrow cards, where the marks and the slug line have no room
// to keep apart as on a large plate; and plates where they have.
const Plate kPlates[] = {
    {"2 x 1.333 in, 1200 dpi", true, "2", "1.333", "1200", "1", "0", Lenses::kVertical, PlateColour::kGrey, "card.tif", false, Slug::kWhole},
    {"the same with bleed, squeezed", true, "2", "1.333", "1200", "3", "0.125", Lenses::kVertical, PlateColour::kCmyk, "card.tif", false, Slug::kWhole},
    {"horizontal lenses", true, "2", "1.333", "1200", "10", "0", Lenses::kHorizontal, PlateColour::kRgb, "card.tif", false, Slug::kWhole},
    {"1 x 1 in", true, "1", "1", "600", "1", "0", Lenses::kVertical, PlateColour::kGrey, "card.tif", false, Slug::kWhole},
    {"1 x 1 in, bled, 300 dpi", true, "1", "1", "300", "10", "0.125", Lenses::kVertical, PlateColour::kCmyk, "card.tif", false, Slug::kWhole},
    {"0.1 in wide", true, "0.1", "1", "600", "1", "0", Lenses::kVertical, PlateColour::kGrey, "card.tif", false, Slug::kWhole},
    {"0.1 in wide, bled", true, "0.1", "1", "600", "3", "0.125", Lenses::kVertical, PlateColour::kCmyk, "card.tif", false, Slug::kWhole},
    {"0.1 in square", true, "0.1", "0.1", "600", "1", "0", Lenses::kVertical, PlateColour::kGrey, "card.tif", false, Slug::kWhole},
    {"0.1 in square, horizontal lenses", true, "0.1", "0.1", "600", "3", "0", Lenses::kHorizontal, PlateColour::kGrey, "card.tif", false, Slug::kWhole},
    {"0.1 in square, coarse rows", true, "0.1", "0.1", "300", "10", "0", Lenses::kVertical, PlateColour::kCmyk, "card.tif", false, Slug::kPartsLeftOut},
    {"0.1 in high", true, "1", "0.1", "600", "1", "0.05", Lenses::kHorizontal, PlateColour::kCmyk, "card.tif", false, Slug::kWhole},
    {"3 x 2 in, the line crosses the registration mark", true, "3", "2", "600", "1", "0.125", Lenses::kVertical, PlateColour::kCmyk, "card.tif", false, Slug::kWhole},
    {"5 x 3 cm", false, "5", "3", "720", "1", "0.3", Lenses::kVertical, PlateColour::kGrey, "card.tif", false, Slug::kWhole},
    {"a name in other scripts", true, "1", "1", "600", "1", "0.125", Lenses::kVertical, PlateColour::kGrey, QStringLiteral(u"名片 テスト بطاقة.tif"), false, Slug::kWhole},
    {"72 dpi", true, "1", "1", "72", "1", "0", Lenses::kVertical, PlateColour::kGrey, "card.tif", false, Slug::kWhole},
    {"a name longer than the plate", true, "2", "1.333", "600", "1", "0", Lenses::kVertical, PlateColour::kGrey, kLongName, false, Slug::kNameShortened},
    {"10 in wide: room for the usual line", true, "10", "0.5", "300", "1", "0", Lenses::kVertical, PlateColour::kGrey, "card.tif", true, Slug::kWhole},
    {"9 in wide, bled, horizontal lenses", true, "9", "0.5", "300", "5", "0.125", Lenses::kHorizontal, PlateColour::kCmyk, "card.tif", true, Slug::kWhole},
};

// Every mark of `layout` drawn alone: its pixels lie in its box, meet no
// other mark's nor any slug line's box, none lies in the image, and
// together they are the margin drawn whole.
void CheckMarksKeepApart(const PressMarks& frame, const PressLayout& layout) {
  const int width = int(frame.width), rows = int(frame.rows);
  const Window whole = Draw(frame, layout, 0, 0, width, rows);
  std::vector<int> owner(size_t(width) * size_t(rows), -1);  // who inks each pixel
  std::vector<PixelBox> slugBoxes;
  for (size_t i = 0; i < layout.marks.size(); ++i) {
    const PlacedMark& mark = layout.marks[i];
    const PixelBox b = mark.box.Grown(8, 8);
    const Window alone = Draw(frame, PressLayout{{mark}}, b.left, b.top, int(b.right - b.left), int(b.bottom - b.top));
    PixelBox inked;
    for (int64_t r = b.top; r < b.bottom; ++r)
      for (int64_t col = b.left; col < b.right; ++col) {
        if (alone.at(col, r) == kPaper) continue;
        ASSERT_TRUE(col >= 0 && col < width && r >= 0 && r < rows) << "mark " << i << " off the plate at " << col << ", " << r;
        ASSERT_TRUE(mark.box.Meets({col, r, col + 1, r + 1})) << "mark " << i << " outside its box at " << col << ", " << r;
        ASSERT_FALSE(col >= frame.imageLeft && col < frame.imageRight && r >= frame.imageTop && r < frame.imageBottom)
            << "mark " << i << " in the image at " << col << ", " << r;
        int& o = owner[size_t(r) * size_t(width) + size_t(col)];
        ASSERT_EQ(o, -1) << "marks " << o << " and " << i << " cross at " << col << ", " << r;
        o = int(i);
        inked = inked.Joined({col, r, col + 1, r + 1});
      }
    if (mark.kind == MarkKind::kSlug) slugBoxes.push_back(inked);
  }
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t col = 0; col < width; ++col) {
      const int o = owner[size_t(r) * size_t(width) + size_t(col)];
      ASSERT_EQ(whole.at(col, r) != kPaper, o >= 0) << "at " << col << ", " << r;
      if (o < 0 || layout.marks[size_t(o)].kind == MarkKind::kSlug) continue;
      for (const PixelBox& box : slugBoxes)
        ASSERT_FALSE(box.Meets({col, r, col + 1, r + 1})) << "mark " << o << " in the slug line at " << col << ", " << r;
    }
}

// The slug lines drawn alone on a canvas an inch larger on every side:
// every pixel of theirs lies in the margin above the image.
void CheckSlugInsideThePlate(const PressMarks& frame, const PressLayout& lines, int64_t pad) {
  const Window larger = Draw(frame, lines, -pad, -pad, int(frame.width + 2 * pad), int(frame.imageTop + 2 * pad));
  size_t inside = 0, outside = 0;
  for (int64_t r = -pad; r < frame.imageTop + pad; ++r)
    for (int64_t col = -pad; col < frame.width + pad; ++col)
      if (larger.at(col, r) != kPaper) ++(col >= 0 && col < frame.width && r >= 0 && r < frame.imageTop ? inside : outside);
  EXPECT_EQ(outside, 0u);
  EXPECT_GT(inside, 0u);
}

// The text of the slug lines against the slug line: whole, or with parts
// left out in their order, or with the name shortened.
void CheckSlugText(Slug expected, const QString& slug, const QStringList& lines) {
  const QStringList parts = SplitSlug(slug);
  ASSERT_EQ(parts.join(kSlugSeparator), slug);
  const QString drawn = lines.join(kSlugSeparator);
  switch (expected) {
    case Slug::kWhole:
      EXPECT_EQ(drawn, slug);
      break;
    case Slug::kPartsLeftOut: {
      // The lens count first, then the DPI, the trim, the LPI, the colour.
      const SlugPart order[] = {kSlugLenses, kSlugDpi, kSlugTrim, kSlugLpi, kSlugColour};
      QStringList kept = parts;
      bool found = false;
      for (const SlugPart part : order) {
        kept.removeOne(parts[part]);
        found = found || kept.join(kSlugSeparator) == drawn;
      }
      EXPECT_TRUE(found) << drawn.toStdString();
      break;
    }
    case Slug::kNameShortened:
      EXPECT_TRUE(lines.front().contains(QChar(0x2026))) << lines.front().toStdString();
      EXPECT_TRUE(drawn.endsWith(parts.back())) << lines.join("|").toStdString();
      break;
  }
}

class PressFrame : public ::testing::TestWithParam<Plate> {};

TEST_P(PressFrame, MarksKeepApartAndTheSlugLineIsWholeInsideThePlate) {
  const Plate& c = GetParam();
  ExportTexts texts;
  texts.inch = c.inch;
  texts.width = c.width;
  texts.height = c.height;
  texts.dpi = c.dpi;
  texts.compress = c.compress;
  texts.bleed = c.bleed;
  const ExportParameters p = ParseParameters(texts, 3);
  const PlateGeometry plate = ComputePlate(p, c.lenses, 1000, 1000);
  const QString slug = SlugText(c.name, p, texts, plate.lens.lensCount, c.colour);
  const PressMarks frame = PlanPressFrame(p, plate, true, c.colour, slug);
  const PressLayout layout = LayOutPressMarks(frame);
  PressLayout slugLines;
  QStringList lines;
  for (const PlacedMark& mark : layout.marks)
    if (mark.kind == MarkKind::kSlug) {
      slugLines.marks.push_back(mark);
      lines.push_back(mark.text);
    }
  const auto count = [&](MarkKind kind) {
    return std::count_if(layout.marks.begin(), layout.marks.end(), [&](const PlacedMark& m) { return m.kind == kind; });
  };
  EXPECT_EQ(count(MarkKind::kCrop), 8);
  EXPECT_EQ(count(MarkKind::kRegistration), 4);
  ASSERT_FALSE(slugLines.marks.empty());

  ASSERT_NO_FATAL_FAILURE(CheckMarksKeepApart(frame, layout));
  CheckSlugInsideThePlate(frame, slugLines, int64_t(plate.xResolutionE9 / 1000000000));
  CheckSlugText(c.drawn, slug, lines);
  const PlacedMark& first = slugLines.marks.front();
  EXPECT_EQ(c.usual, slugLines.marks.size() == 1 && first.origin.x() == qreal(frame.trimLeft * frame.columnDots));
}

INSTANTIATE_TEST_SUITE_P(Plates, PressFrame, ::testing::ValuesIn(kPlates));

// The slug line's parts, split from its text whatever the name holds.
TEST(SlugText, SplitsIntoItsParts) {
  ExportTexts texts;
  texts.inch = true;
  texts.bleed = "0.125";
  const ExportParameters bled = ParseParameters(texts, 3);
  texts.bleed = "0";
  const ExportParameters trimmed = ParseParameters(texts, 3);
  struct Case {
    QString name;
    const ExportParameters* p;
    QStringList parts;
  } cases[] = {
      {"a.tif", &trimmed, {"a.tif", "4000 dpi", "75.5555555555555 lpi", "151 lenses", "grey", "trim 2 x 3 in"}},
      {"two  spaces  bleed 1 in.tif", &bled,
       {"two  spaces  bleed 1 in.tif", "4000 dpi", "75.5555555555555 lpi", "151 lenses", "grey", "trim 2 x 3 in", "bleed 0.125 in"}},
      {"", &trimmed, {"", "4000 dpi", "75.5555555555555 lpi", "151 lenses", "grey", "trim 2 x 3 in"}},
  };
  for (const Case& c : cases) {
    const QString slug = SlugText(c.name, *c.p, texts, 151, PlateColour::kGrey);
    EXPECT_EQ(SplitSlug(slug), c.parts) << slug.toStdString();
  }
  EXPECT_EQ(SplitSlug("a line of another form"), QStringList());
}

}  // namespace
}  // namespace plivora
