// Views written by other programs: every layout they use must give the rows,
// and so the export, of the same pixels in the strip layout; files that are
// not CMYK views, or are broken, are refused with a message naming the file
// and the cause, and libtiff never writes to stderr.
#include <tiffio.h>

#include <QFile>
#include <QImage>

#include "jobs/export.h"
#include "sample/view_writer.h"
#include "series/source_image.h"
#include "series/tiff_test_tools.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::RunTool;

constexpr uint32_t kW = 37, kH = 23;  // odd sizes: partial tiles and a short last strip

std::vector<uint8_t> Pixels(int seed) {
  return test::MakePixels(kW, kH, [seed](uint32_t x, uint32_t y) {
    return std::vector<uint8_t>{uint8_t(x * 7 + y * 3 + seed), uint8_t(x * y + 50 * seed), uint8_t(255 - x - y * 5),
                                uint8_t((x ^ y) * 11 + seed)};
  });
}

// A writer turns a view in the strip layout (`twin`, whose raw CMYK samples
// are in `raw`) into `out` in its own layout.
struct Writer {
  const char* name;
  std::function<void(const QString& twin, const QString& raw, const QString& out)> write;
};

Writer Tiffcp(const char* name, const QStringList& options) {
  return {name, [options](const QString& twin, const QString&, const QString& out) {
            RunTool("tiffcp", options + QStringList{twin, out});
          }};
}

Writer Magick(const char* name, const QStringList& options) {
  return {name, [options](const QString&, const QString& raw, const QString& out) {
            RunTool("convert", QStringList{"-size", QStringLiteral("%1x%2").arg(kW).arg(kH), "-depth", "8", "cmyk:" + raw} +
                               options + QStringList{out});
          }};
}

Writer Pillow(const char* name, const char* compression) {
  return {name, [compression](const QString&, const QString& raw, const QString& out) {
            RunTool("/usr/bin/python3",
                {"-c", QStringLiteral("import sys\nfrom PIL import Image\n"
                                      "im = Image.frombytes('CMYK', (%1, %2), open(sys.argv[1], 'rb').read())\n"
                                      "im.save(sys.argv[2], compression=%3)")
                           .arg(kW).arg(kH).arg(compression),
                 raw, out});
          }};
}

const std::vector<Writer>& Writers() {
  static const std::vector<Writer> writers = {
      Tiffcp("tiffcp LZW", {"-c", "lzw"}),
      Tiffcp("tiffcp LZW with predictor, strips of 4 rows", {"-c", "lzw:2", "-r", "4"}),
      Tiffcp("tiffcp Deflate", {"-c", "zip"}),
      Tiffcp("tiffcp Deflate with predictor", {"-c", "zip:2"}),
      Tiffcp("tiffcp PackBits", {"-c", "packbits"}),
      Tiffcp("tiffcp tiles 16 x 16", {"-t", "-w", "16", "-l", "16"}),
      Tiffcp("tiffcp strips of 2 rows", {"-s", "-r", "2"}),
      Tiffcp("tiffcp big-endian", {"-B"}),
      Tiffcp("tiffcp big-endian Deflate strips of 5 rows", {"-B", "-c", "zip", "-r", "5"}),
      Tiffcp("tiffcp separate planes", {"-p", "separate"}),
      Tiffcp("tiffcp separate planes LZW strips of 3 rows", {"-p", "separate", "-c", "lzw", "-r", "3"}),
      Tiffcp("tiffcp separate planes in LZW tiles", {"-p", "separate", "-c", "lzw", "-t", "-w", "16", "-l", "16"}),
      Magick("ImageMagick LZW", {"-compress", "LZW"}),
      Magick("ImageMagick Zip", {"-compress", "Zip"}),
      Magick("ImageMagick uncompressed, directory after the pixels", {"-compress", "None"}),
      Magick("ImageMagick RLE", {"-compress", "RLE"}),
      Pillow("Pillow LZW", "'tiff_lzw'"),
      Pillow("Pillow Deflate", "'tiff_adobe_deflate'"),
      Pillow("Pillow PackBits", "'packbits'"),
      Pillow("Pillow uncompressed", "None"),
  };
  return writers;
}

struct Views {
  QString twin, raw, other;
};

// Writes `pixels` in the strip layout and through `writer`.
Views WriteBoth(const test::TempDir& dir, const Writer& writer, const QString& stem, const std::vector<uint8_t>& pixels,
                bool gjs = false) {
  const QString ext = gjs ? ".gjs" : ".tif";
  Views v{dir.path(stem + "-twin" + ext), dir.path(stem + ".raw"), dir.path(stem + "-other" + ext)};
  WriteViewFile(v.twin, kW, kH, pixels, gjs);
  std::vector<uint8_t> raw = pixels;
  if (gjs)
    for (uint8_t& b : raw) b = uint8_t(255 - b);
  test::WriteBytes(v.raw, raw);
  writer.write(v.twin, v.raw, v.other);
  return v;
}

std::vector<uint8_t> AllRows(const QString& path) {
  auto reader = OpenSource(path);
  EXPECT_EQ(reader->image().Width, kW);
  EXPECT_EQ(reader->image().Height, kH);
  std::vector<uint8_t> rows(size_t(kW) * kH * 4);
  for (uint32_t r = 0; r < kH; ++r) reader->ReadRow(r, rows.data() + size_t(r) * kW * 4);
  return rows;
}

// Rows skipped by the caller (an output shorter than its views) inside a
// strip and across strips, and a row asked for twice.
std::vector<uint8_t> SomeRows(const QString& path, const std::vector<uint32_t>& rows) {
  auto reader = OpenSource(path);
  std::vector<uint8_t> out(rows.size() * kW * 4);
  for (size_t i = 0; i < rows.size(); ++i) reader->ReadRow(rows[i], out.data() + i * kW * 4);
  return out;
}

std::vector<uint8_t> RowsOf(const std::vector<uint8_t>& pixels, const std::vector<uint32_t>& rows) {
  std::vector<uint8_t> out;
  for (uint32_t r : rows) out.insert(out.end(), pixels.begin() + long(r) * kW * 4, pixels.begin() + long(r + 1) * kW * 4);
  return out;
}

const QDateTime kWhen(QDate(2026, 12, 8), QTime(1, 2, 3));

// The bytes of an export of `views` to `out` (the same path every time, as
// it is printed in the caption strip).
std::vector<uint8_t> ExportBytes(const QStringList& views, const QString& out, bool negative) {
  ExportRequest r;
  SetOption(r, "dpi", "400");
  SetOption(r, "lpi", "40");
  SetOption(r, "width", "1");
  SetOption(r, "height", "0.7");
  SetOption(r, "compress", "2");
  SetOption(r, "unit", "inch");
  r.views = views;
  r.negativeInput = negative;
  r.outputPath = out;
  r.now = kWhen;
  r.locale = QLocale::c();
  ExportInterlaced(r, nullptr);
  return test::ReadBytes(out);
}

TEST(TiffSource, EveryWriterGivesTheRowsAndTheExportOfTheStripLayout) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    test::TempDir dir;
    const Views a = WriteBoth(dir, writer, "a", Pixels(1)), b = WriteBoth(dir, writer, "b", Pixels(2));
    ASSERT_TRUE(QFile::exists(a.other));
    EXPECT_EQ(AllRows(a.other), Pixels(1));
    const std::vector<uint32_t> sparse{1, 3, 3, 6, 17, 22};
    EXPECT_EQ(SomeRows(b.other, sparse), RowsOf(Pixels(2), sparse));
    const QString out = dir.path("out.tif");
    const std::vector<uint8_t> expected = ExportBytes({a.twin, b.twin, a.twin}, out, false);
    EXPECT_EQ(ExportBytes({a.other, b.other, a.other}, out, false), expected);
  }
}

TEST(TiffSource, GjsViewsInOtherLayoutsAreInvertedAsBefore) {
  test::TempDir dir;
  const Views a = WriteBoth(dir, Writers()[0], "a", Pixels(3), true);
  const Views b = WriteBoth(dir, Writers()[9], "b", Pixels(4), true);
  const QString out = dir.path("out.tif");
  EXPECT_EQ(ExportBytes({a.other, b.other}, out, true), ExportBytes({a.twin, b.twin}, out, true));
  QImage fromTwin(1, 1, QImage::Format_RGB32), fromOther(1, 1, QImage::Format_RGB32);
  LoadSourceBitmap(a.twin, fromTwin, true);
  LoadSourceBitmap(a.other, fromOther, true);
  EXPECT_EQ(fromOther, fromTwin);
  EXPECT_EQ(fromOther.constBits()[0], uint8_t(Pixels(3)[0]));  // stored inverted, shown as written
}

// A transparent pixel prints no ink: a CMYK view's alpha scales its inks,
// round(c * a / 255).
TEST(TiffSource, ACmykViewsAlphaScalesItsInks) {
  test::TempDir dir;
  std::vector<uint8_t> cmyka, scaled;
  const std::vector<uint8_t> pixels = Pixels(5);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    cmyka.insert(cmyka.end(), pixels.begin() + long(i), pixels.begin() + long(i) + 4);
    cmyka.push_back(uint8_t(i));
    for (size_t s = 0; s < 4; ++s) scaled.push_back(uint8_t((pixels[i + s] * (i & 0xFF) + 127) / 255));
  }
  test::WriteBytes(dir.path("v.raw"), cmyka);
  for (const char* compress : {"LZW", "None"}) {
    RunTool("convert", {"-size", QStringLiteral("%1x%2").arg(kW).arg(kH), "-depth", "8", "cmyka:" + dir.path("v.raw"),
                    "-compress", compress, dir.path("v.tif")});
    EXPECT_EQ(AllRows(dir.path("v.tif")), scaled) << compress;
  }
}

// 16-bit samples become round(v / 257): 128 is the last value that gives 0,
// 385 and 386 fall either side of 1.5, and 257 * n gives n back.
TEST(TiffSource, SixteenBitSamplesAreReducedToEightBits) {
  test::TempDir dir;
  const std::vector<uint16_t> samples{0, 128, 129, 385, 386, 32767, 32896, 65535};
  const std::vector<uint8_t> expected{0, 0, 1, 1, 2, 127, 128, 255};
  std::vector<uint8_t> raw;
  for (uint16_t s : samples) raw.insert(raw.end(), {uint8_t(s >> 8), uint8_t(s)});
  test::WriteBytes(dir.path("v.raw"), raw);
  RunTool("convert", {"-size", "2x1", "-depth", "16", "-endian", "MSB", "cmyk:" + dir.path("v.raw"), "-compress", "Zip",
                  dir.path("zip.tif")});
  test::LibtiffLayout planes;
  planes.bits = 16;
  planes.separatePlanes = true;
  planes.bigEndian = true;
  planes.compression = COMPRESSION_ADOBE_DEFLATE;
  test::WriteWithLibtiff(dir.path("planes.tif"), 2, 1, samples, planes);
  for (const char* name : {"zip.tif", "planes.tif"}) {
    auto reader = OpenSource(dir.path(name));
    std::vector<uint8_t> row(8);
    reader->ReadRow(0, row.data());
    EXPECT_EQ(row, expected) << name;
  }
}

// One uncompressed strip of 512 MiB (sparse here) is read a row at a time,
// never whole.
TEST(TiffSource, OneLargeUncompressedStripIsReadARowAtATime) {
  test::TempDir dir;
  test::LibtiffLayout layout;
  layout.bits = 16;  // not the strip layout: libtiff reads it
  test::WriteWithLibtiff(dir.path("v.tif"), 4, 4, std::vector<uint16_t>(4 * 4 * 4, 0), layout);
  std::vector<uint8_t> bytes = test::ReadBytes(dir.path("v.tif"));
  const uint32_t side = 8192, offset = uint32_t(test::StrilesOf(dir.path("v.tif")).offsets.at(0));
  for (uint16_t tag : {TIFFTAG_IMAGEWIDTH, TIFFTAG_IMAGELENGTH, TIFFTAG_ROWSPERSTRIP}) test::SetFirstEntry(bytes, tag, side);
  test::SetFirstEntry(bytes, TIFFTAG_STRIPBYTECOUNTS, side * side * 8);
  test::WriteBytes(dir.path("big.tif"), bytes);
  ASSERT_TRUE(QFile(dir.path("big.tif")).resize(offset + qint64(side) * side * 8));
  const long rise = test::ChildPeakRiseKiB([&] {
    const auto reader = OpenSource(dir.path("big.tif"));
    std::vector<uint8_t> row(side * 4);
    for (uint32_t y = 0; y < side; ++y) reader->ReadRow(y, row.data());
  });
  EXPECT_LT(rise, 64 << 10);
}

TEST(TiffSource, JpegViewsDecodeCloseToTheirPixels) {
  test::TempDir dir;
  const std::vector<uint8_t> smooth = test::MakePixels(kW, kH, [](uint32_t x, uint32_t y) {
    return std::vector<uint8_t>{uint8_t(60 + 2 * x), uint8_t(100 + 3 * y), uint8_t(140), uint8_t(20 + x + y)};
  });
  WriteViewFile(dir.path("twin.tif"), kW, kH, smooth);
  RunTool("tiffcp", {"-c", "jpeg:95", "-r", "16", dir.path("twin.tif"), dir.path("v.tif")});
  const std::vector<uint8_t> rows = AllRows(dir.path("v.tif"));
  int worst = 0;
  for (size_t i = 0; i < rows.size(); ++i) worst = std::max(worst, std::abs(int(rows[i]) - int(smooth[i])));
  EXPECT_LE(worst, 12);
}

}  // namespace
}  // namespace plivora
