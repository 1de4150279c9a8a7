#include "drawing/caption_strip.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "common/numbers.h"
#include "plate/level_rows.h"
#include "support/test_support.h"

namespace plivora {
namespace {

const QDateTime kWhen(QDate(2026, 12, 6), QTime(23, 5, 9));

CaptionStripInput Input(int32_t width, int32_t rows, int compress, int64_t dpiE9, const QString& path) {
  return {width, rows, compress, dpiE9, path, kWhen, {}};
}

// The strip as the file holds it: four bytes a pixel.
std::vector<uint8_t> FileForm(const std::vector<uint8_t>& strip) {
  std::vector<uint8_t> pixels(strip.size() * 4, 0xAA);
  ExpandCaptionPixels(strip.data(), strip.size(), pixels.data());
  return pixels;
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
  const std::vector<uint8_t> strip = FileForm(RenderCaptionStrip(Input(width, rows, 10, 4000000000000, "/out/a.tif")));
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
  const std::vector<uint8_t> strip = FileForm(RenderCaptionStrip(Input(width, rows, 10, 4000000000000, "/a/very/long/path.tif")));
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
  const std::vector<uint8_t> a = FileForm(RenderCaptionStrip(Input(narrow, rows, 10, 4000000000000, path)));
  const std::vector<uint8_t> b = FileForm(RenderCaptionStrip(Input(wide, rows, 10, 4000000000000, path)));
  for (int r = 0; r < rows; ++r)
    ASSERT_TRUE(std::equal(a.begin() + size_t(r) * narrow * 4, a.begin() + size_t(r + 1) * narrow * 4,
                           b.begin() + size_t(r) * wide * 4))
        << "row " << r;
}

TEST(CaptionStrip, AutoDpiStripIsSmallerAndZeroRowsDrawNothing) {
  const std::vector<uint8_t> strip = FileForm(RenderCaptionStrip(Input(1812, 18, 10, 906666666672, "/out/a.tif")));
  ASSERT_EQ(strip.size(), 1812u * 18 * 4);
  EXPECT_NE(std::count(strip.begin(), strip.end(), 255), 0);
  EXPECT_TRUE(RenderCaptionStrip(Input(1812, 0, 255, 72000000000, "/out/a.tif")).empty());
}

// Panels of a narrow print show only the start of their captions' lines:
// what tells them apart must stand there (2 cm in 3 panels at 4000 dpi:
// about 1050 pixels a panel, seven characters).
TEST(CaptionStrip, NarrowPanelsTellWhichTheyAre) {
  CaptionStripInput first = Input(1050, 80, 10, 4000000000000, "/plates/customer/job/card-1-of-3.tif");
  first.panel = "1 of 3";
  CaptionStripInput second = first;
  second.outputPath = "/plates/customer/job/card-2-of-3.tif";
  second.panel = "2 of 3";
  EXPECT_NE(RenderCaptionStrip(first), RenderCaptionStrip(second));
}

TEST(CaptionStrip, SameInputsGiveTheSameBytes) {
  const CaptionStripInput in = Input(8000, 80, 10, 4000000000000, "/out/a.tif");
  EXPECT_EQ(RenderCaptionStrip(in), RenderCaptionStrip(in));
  CaptionStripInput later = in;
  later.now = kWhen.addSecs(1);
  EXPECT_NE(RenderCaptionStrip(in), RenderCaptionStrip(later));
}


// The strip drawn the simple way, as the reference the banded drawing must
// match byte for byte: the whole full-resolution image (stripRows x compress
// rows) in one piece, then the middle row of every group of `compress`, in
// the file's form. Only for small sizes.
namespace reference {

QString VisiblePart(const QFontMetrics& metrics, const QString& text, int room) {
  const int limit = room + 4 * metrics.height();
  if (metrics.horizontalAdvance(text) <= limit) return text;
  qsizetype low = 0, high = text.size();
  while (high - low > 1) {
    const qsizetype mid = (low + high) / 2;
    (metrics.horizontalAdvance(text.left(mid)) <= limit ? low : high) = mid;
  }
  if (high < text.size() && text[high].isLowSurrogate()) ++high;
  return text.left(high);
}

void DrawOpaqueLine(QPainter& painter, const QFontMetrics& metrics, int x, int y, const QString& text, int width) {
  const QString visible = VisiblePart(metrics, text, width - x);
  painter.fillRect(QRect(x, y, metrics.horizontalAdvance(visible), metrics.height()), Qt::black);
  painter.drawText(QPoint(x, y + metrics.ascent()), visible);
}

std::vector<uint8_t> OnePieceStrip(const CaptionStripInput& in) {
  const int width = in.outputWidth, rows = in.stripRows;
  std::vector<uint8_t> strip(size_t(width) * size_t(rows) * 4, 0);
  if (rows == 0 || width == 0) return strip;
  QImage tall(width, rows * in.compress, QImage::Format_Grayscale8);
  tall.fill(0);
  const int64_t points = Round(Real(in.dpiE9) / 20 / 100000 / 10000);
  const int64_t pixels = Round(Real(points) * 96 / 72);
  if (pixels >= 1 && pixels < 100000) {
    QFont font(QStringLiteral("arial"));
    font.setPixelSize(int(pixels));
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    QPainter painter(&tall);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font, &tall);
    DrawOpaqueLine(painter, metrics, 10, 20, CaptionDateText(in.now), width);
    DrawOpaqueLine(painter, metrics, 10, int(points) + 40, CaptionPathText(in.outputPath), width);
  }
  for (int r = 0; r < rows; ++r) {
    const uint8_t* source = tall.constScanLine(r * in.compress + in.compress / 2);
    uint8_t* dest = strip.data() + size_t(r) * size_t(width) * 4;
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = uint32_t(source[x]) * 0x00010101u;
      std::memcpy(dest + size_t(x) * 4, &pixel, 4);
    }
  }
  return strip;
}

}  // namespace reference

// The first row where two file-form strips differ, or -1.
int FirstDifferentRow(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width) {
  const size_t rowBytes = size_t(width) * 4;
  for (size_t r = 0; r * rowBytes < std::min(a.size(), b.size()); ++r)
    if (std::memcmp(a.data() + r * rowBytes, b.data() + r * rowBytes, rowBytes) != 0) return int(r);
  return a.size() == b.size() ? -1 : int(std::min(a.size(), b.size()) / rowBytes);
}

// Glyphs of 40 and 60 pixels come from the glyph cache, those of 160, 267
// and 2863 pixels are filled as outlines; band heights from one row to more
// than the whole image put band edges through both lines of text, and with
// compress 1, 3, 7, 10, 64 or 255 the kept rows fall at every place in the
// bands (first row, middle, last, alone).
TEST(CaptionStripBands, EqualTheOnePieceImageByteForByte) {
  struct Case {
    int64_t dpiE9;
    int compress;
    int width;
    std::vector<int> bandRows;
  };
  const std::vector<Case> cases = {
      {600000000000, 1, 900, {1, 2, 37, 100000}},
      {600000000000, 7, 900, {1, 8, 15, 64}},
      {906666666672, 10, 1812, {1, 11, 21, 256}},
      {2400000000000, 2, 1300, {3, 64, 100}},
      {2400000000000, 255, 1300, {1, 255, 256, 600}},
      {4000000000000, 1, 1500, {1, 37, 64, 256}},
      {4000000000000, 3, 1500, {2, 4, 50, 256}},
      {4000000000000, 10, 1500, {1, 10, 11, 129, 256, 1000}},
      {4000000000000, 64, 1500, {1, 64, 65, 200}},
      {42949000000000, 255, 700, {1, 256, 511, 9000}},
      {42949000000000, 7, 700, {1, 7, 300}},
  };
  const QString path = "/jobs/2026/december/interlaced output.tif";
  for (const Case& c : cases) {
    const int rows = int(std::lround(0.2 * double(c.dpiE9) / 1e9 / c.compress));
    const CaptionStripInput in = Input(c.width, rows, c.compress, c.dpiE9, path);
    const std::vector<uint8_t> expected = reference::OnePieceStrip(in);
    ASSERT_NE(std::count(expected.begin(), expected.end(), 255), 0) << c.dpiE9;
    for (int band : c.bandRows) {
      const std::vector<uint8_t> banded = RenderCaptionStrip(in, band);
      ASSERT_EQ(banded.size(), size_t(c.width) * rows);
      EXPECT_EQ(FirstDifferentRow(FileForm(banded), expected, c.width), -1)
          << "dpi " << c.dpiE9 / 1e9 << ", compress " << c.compress << ", bands of " << band << " rows";
    }
  }
  // The band height the export uses: 256 rows here, four bands.
  const CaptionStripInput in = Input(2000, 80, 10, 4000000000000, path);
  EXPECT_EQ(FirstDifferentRow(FileForm(RenderCaptionStrip(in)), reference::OnePieceStrip(in), 2000), -1);
}

// The line is drawn a few glyphs at a time; whatever the file name holds
// (tabs, line breaks, right-to-left words, combining marks, characters from
// fallback fonts, a surrogate pair, controls), the pixels are drawText's.
TEST(CaptionStripBands, AnyFileNameDrawsAsOneLineWould) {
  const QStringList paths = {
      "/jobs/AVAWAY fi fl ffi Te To Yo 1/2",
      "/jobs/tab\there\tand\tthere.tif",
      "/jobs/line\nbreak.tif",
      QString::fromUtf8("/jobs/line\u2028separator\u2029paragraph.tif"),
      QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd/right-to-left first.tif"),
      QString::fromUtf8("/jobs/\u05e9\u05dc\u05d5\u05dd abc \u0645\u0631\u062d\u0628\u0627.tif"),
      QString::fromUtf8("/jobs/e\u0301e\u0300 n\u0303 \u00c5ngstr\u00f6m.tif"),
      QString::fromUtf8("/\u4f5c\u4e1a/\u5149\u6805 \u7acb\u4f53\u753b.tif"),
      QString::fromUtf8("/jobs/\U0001F600 smile \u200d zwj.tif"),
      QString("/jobs/bell\a esc\x1b del\x7f.tif"),
  };
  for (const QString& path : paths)
    for (int64_t dpiE9 : {4000000000000LL, 600000000000LL}) {  // outlines, and the glyph cache
      const int rows = int(std::lround(0.2 * double(dpiE9) / 1e9 / 10)), width = 3000;
      const CaptionStripInput in = Input(width, rows, 10, dpiE9, path);
      const std::vector<uint8_t> expected = reference::OnePieceStrip(in);
      EXPECT_EQ(FirstDifferentRow(FileForm(RenderCaptionStrip(in)), expected, width), -1)
          << path.toStdString() << " at " << dpiE9 / 1000000000 << " dpi";
    }
}

// Kilobytes on the line `key` of /proc/self/status (VmRSS, VmHWM), or -1.
int64_t StatusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key + ":", 0) == 0) return std::stoll(line.substr(key.size() + 1));
  return -1;
}

// The caption of a 20-inch plate at 42949 dpi: 858980 x 8670 pixels at full
// resolution, 7.4 GB in one piece. Its peak memory must stay near the 29 MB
// strip and one band.
TEST(CaptionStripBands, PlateSetterWideStripNeedsNoFullResolutionImage) {
  const int width = 858980, rows = 34;
  {
    std::ofstream resetPeak("/proc/self/clear_refs");
    resetPeak << "5";  // the peak (VmHWM) starts again from the present use
    if (!resetPeak.flush()) GTEST_SKIP() << "the peak memory can't be reset here";
  }
  const int64_t before = StatusKilobytes("VmRSS");
  ASSERT_GT(before, 0);
  const std::vector<uint8_t> strip = RenderCaptionStrip(Input(width, rows, 255, 42949000000000, "/plates/job.tif"));
  const int64_t peak = StatusKilobytes("VmHWM");
  EXPECT_LT(peak - before, 100 * 1024) << "kB above the " << before << " kB before";
  ASSERT_EQ(strip.size(), size_t(width) * rows);
  EXPECT_NE(std::count(strip.begin(), strip.end(), 255), 0);
}
}  // namespace
}  // namespace plivora
