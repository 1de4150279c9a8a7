#include "output/caption_strip.h"

#include "support/test_support.h"

namespace plivora {
namespace {

const QDateTime kWhen(QDate(2026, 12, 6), QTime(23, 5, 9));

CaptionStripInput Input(int32_t width, int32_t rows, int compress, int64_t dpiE9, const QString& path) {
  return {width, rows, compress, dpiE9, path, kWhen};
}

// Columns of `strip` that hold a text pixel in any row.
std::vector<bool> InkedColumns(const std::vector<uint8_t>& strip, int width, int rows) {
  std::vector<bool> inked(size_t(width), false);
  for (int r = 0; r < rows; ++r)
    for (int x = 0; x < width; ++x)
      if (strip[(size_t(r) * width + x) * 4] != 0) inked[size_t(x)] = true;
  return inked;
}

TEST(CaptionStrip, DateLineHasTheFixedPattern) {
  EXPECT_EQ(CaptionDateText(kWhen), QStringLiteral("2026 年  12 月 06 日 23 时 05 分 09 秒"));
  EXPECT_TRUE(CaptionPathText("/out/a.tif").startsWith("/out/a.tif  This tiff creat form vexo Plivora13T"));
}

TEST(CaptionStrip, IsWhiteTextOnNoInkWithTheFourthByteZero) {
  const int width = 2000, rows = 80;
  const std::vector<uint8_t> strip = RenderCaptionStrip(Input(width, rows, 10, 4000000000000, "/out/a.tif"));
  ASSERT_EQ(strip.size(), size_t(width) * rows * 4);
  size_t text = 0;
  for (size_t i = 0; i < strip.size(); i += 4) {
    const bool background = strip[i] == 0 && strip[i + 1] == 0 && strip[i + 2] == 0;
    const bool white = strip[i] == 255 && strip[i + 1] == 255 && strip[i + 2] == 255;
    ASSERT_TRUE(background || white) << "pixel " << i / 4;
    ASSERT_EQ(strip[i + 3], 0) << "pixel " << i / 4;
    text += white;
  }
  EXPECT_GT(text, 1000u);
  // Text starts 10 pixels in; the first line's top is row 20 of the tall
  // image, so strip rows 0 and 1 (tall rows 5 and 15) are empty.
  const std::vector<bool> inked = InkedColumns(strip, width, rows);
  for (int x = 0; x < 10; ++x) EXPECT_FALSE(inked[size_t(x)]) << x;
  for (size_t i = 0; i < size_t(width) * 2 * 4; ++i) ASSERT_EQ(strip[i], 0);
  // The lines end (267-pixel characters) well above the strip's last rows.
  for (size_t i = size_t(width) * 60 * 4; i < strip.size(); ++i) ASSERT_EQ(strip[i], 0);
}

TEST(CaptionStrip, LongTextIsClippedAtTheRightEdge) {
  const int width = 600, rows = 80;
  const std::vector<uint8_t> strip = RenderCaptionStrip(Input(width, rows, 10, 4000000000000, "/a/very/long/path.tif"));
  const std::vector<bool> inked = InkedColumns(strip, width, rows);
  bool nearRightEdge = false;
  for (int x = width - 40; x < width; ++x) nearRightEdge = nearRightEdge || inked[size_t(x)];
  EXPECT_TRUE(nearRightEdge);
}

// Text past the right edge is clipped, and leaving out what lies beyond it
// must not change what lies within: a narrow strip is the left part of a
// wide one.
TEST(CaptionStrip, NarrowStripIsTheLeftPartOfAWideOne) {
  const QString path = "/jobs/2026/december/client with a long name/series 12/interlaced output.tif";
  const int narrow = 1500, wide = 9000, rows = 80;
  const std::vector<uint8_t> a = RenderCaptionStrip(Input(narrow, rows, 10, 4000000000000, path));
  const std::vector<uint8_t> b = RenderCaptionStrip(Input(wide, rows, 10, 4000000000000, path));
  for (int r = 0; r < rows; ++r)
    ASSERT_TRUE(std::equal(a.begin() + size_t(r) * narrow * 4, a.begin() + size_t(r + 1) * narrow * 4,
                           b.begin() + size_t(r) * wide * 4))
        << "row " << r;
}

TEST(CaptionStrip, AutoDpiStripIsSmallerAndZeroRowsDrawNothing) {
  const std::vector<uint8_t> strip = RenderCaptionStrip(Input(1812, 18, 10, 906666666672, "/out/a.tif"));
  ASSERT_EQ(strip.size(), 1812u * 18 * 4);
  EXPECT_NE(std::count(strip.begin(), strip.end(), 255), 0);
  EXPECT_TRUE(RenderCaptionStrip(Input(1812, 0, 255, 72000000000, "/out/a.tif")).empty());
}

TEST(CaptionStrip, SameInputsGiveTheSameBytes) {
  const CaptionStripInput in = Input(8000, 80, 10, 4000000000000, "/out/a.tif");
  EXPECT_EQ(RenderCaptionStrip(in), RenderCaptionStrip(in));
  CaptionStripInput later = in;
  later.now = kWhen.addSecs(1);
  EXPECT_NE(RenderCaptionStrip(in), RenderCaptionStrip(later));
}

}  // namespace
}  // namespace plivora
