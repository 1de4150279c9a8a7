// Files the reader must refuse, each with a message that names the file and
// says what is wrong, and without a word from libtiff on stderr.
#include <tiffio.h>

#include <QFile>

#include "jobs/export.h"
#include "series/source_image.h"
#include "series/tiff_test_tools.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::StderrCapture;

std::vector<uint8_t> Gradient(uint32_t w, uint32_t h) {
  return test::MakePixels(w, h, [](uint32_t x, uint32_t y) {
    return std::vector<uint8_t>{uint8_t(x * 9), uint8_t(y * 13), uint8_t(x + y), uint8_t(200 - x)};
  });
}

std::vector<uint16_t> Wide(const std::vector<uint8_t>& bytes) { return std::vector<uint16_t>(bytes.begin(), bytes.end()); }

QString Refusal(const QString& path) {
  return ErrorOf([&] { OpenSource(path); });
}

void ExpectRefused(const QString& path, const char* cause) {
  const QString message = Refusal(path);
  EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot read view \"%1\": ").arg(path))) << message.toStdString();
  EXPECT_TRUE(message.contains(cause)) << message.toStdString();
}

TEST(TiffRefusal, OtherColourModelsAndSampleLayoutsAreNamed) {
  test::TempDir dir;
  struct Case {
    const char* name;
    QStringList options;
    const char* cause;
  };
  // RGB, greyscale, Lab and palette TIFF are views too (tiff_source_test,
  // tests/cli/reader_cases_test.py).
  StderrCapture capture(dir.path("stderr.txt"));
  test::LibtiffLayout oneBit;
  oneBit.bits = 1;
  test::WriteWithLibtiff(dir.path("cmyk1.tif"), 16, 4, std::vector<uint16_t>(16 * 4 * 4, 1), oneBit);
  ExpectRefused(dir.path("cmyk1.tif"), "it is CMYK with 1-bit samples; views have 8 or 16 bits per sample");
  test::LibtiffLayout ituLab;
  ituLab.photometric = PHOTOMETRIC_ITULAB;
  ituLab.samples = 3;
  test::WriteWithLibtiff(dir.path("itulab.tif"), 4, 4, std::vector<uint16_t>(4 * 4 * 3, 9), ituLab);
  ExpectRefused(dir.path("itulab.tif"), "its colour model is ITU Lab");
  test::LibtiffLayout fiveInks;
  fiveInks.samples = 5;
  test::WriteWithLibtiff(dir.path("inks5.tif"), 4, 4, std::vector<uint16_t>(4 * 4 * 5, 9), fiveInks);
  ExpectRefused(dir.path("inks5.tif"), "it has 5 inks");
  EXPECT_EQ(capture.Stop(), QByteArray());
}

TEST(TiffRefusal, TruncatedFilesAreRefusedWhenOpened) {
  test::TempDir dir;
  StderrCapture capture(dir.path("stderr.txt"));
  // The directory leads the file, so a cut leaves it whole and the strips short.
  test::PackBitsFile packed = test::PackBitsView(16, 12, Gradient(16, 12), 4);
  packed.bytes.resize(packed.bytes.size() - packed.stripBytes.back() / 2);
  test::WriteBytes(dir.path("cut.tif"), packed.bytes);
  ExpectRefused(dir.path("cut.tif"), "its strip 2 (");
  ExpectRefused(dir.path("cut.tif"), "runs past the end of the file");

  // libtiff puts the directory after the pixels: a cut takes it away.
  test::LibtiffLayout lzw;
  lzw.compression = COMPRESSION_LZW;
  test::WriteWithLibtiff(dir.path("lzw.tif"), 16, 12, Wide(Gradient(16, 12)), lzw);
  std::vector<uint8_t> bytes = test::ReadBytes(dir.path("lzw.tif"));
  bytes.resize(bytes.size() / 2);
  test::WriteBytes(dir.path("lzw-cut.tif"), bytes);
  ExpectRefused(dir.path("lzw-cut.tif"), "lies outside the file");
  EXPECT_EQ(capture.Stop(), QByteArray());
}

// libtiff would cut one large uncompressed strip into strips of its own; the
// message must number the strip as the file does, and reading such a view
// must still take one row at a time.
TEST(TiffRefusal, StripsAreNumberedAsTheFileStoresThem) {
  test::TempDir dir;
  StderrCapture capture(dir.path("stderr.txt"));
  test::LibtiffLayout wide;
  wide.bits = 16;  // not the strip layout: libtiff reads it
  wide.rowsPerStrip = 64;
  test::WriteWithLibtiff(dir.path("one.tif"), 64, 64, std::vector<uint16_t>(64 * 64 * 4, 257 * 7), wide);
  std::vector<uint8_t> bytes = test::ReadBytes(dir.path("one.tif"));
  const uint64_t size = bytes.size(), offset = size - 20000;
  test::SetFirstEntry(bytes, TIFFTAG_STRIPOFFSETS, uint32_t(offset));
  test::WriteBytes(dir.path("moved.tif"), bytes);
  EXPECT_EQ(Refusal(dir.path("moved.tif")),
            QStringLiteral("Cannot read view \"%1\": its strip 0 (32768 bytes from offset %2) runs past the end of the file (%3 bytes)")
                .arg(dir.path("moved.tif")).arg(offset).arg(size));
  const auto reader = OpenSource(dir.path("one.tif"));
  std::vector<uint8_t> row(64 * 4);
  for (uint32_t y = 0; y < 64; ++y) reader->ReadRow(y, row.data());
  EXPECT_EQ(row, std::vector<uint8_t>(64 * 4, 7));
  EXPECT_EQ(capture.Stop(), QByteArray());
}

// A row that would take more than a decoding buffer may hold is refused for
// being too long, not for not fitting its width.
TEST(TiffRefusal, RowsTooLongToReadAreNamedSo) {
  test::TempDir dir;
  StderrCapture capture(dir.path("stderr.txt"));
  test::LibtiffLayout lzw;
  lzw.compression = COMPRESSION_LZW;
  test::WriteWithLibtiff(dir.path("lzw.tif"), 16, 4, Wide(Gradient(16, 4)), lzw);
  std::vector<uint8_t> bytes = test::ReadBytes(dir.path("lzw.tif"));
  test::SetFirstEntry(bytes, TIFFTAG_IMAGEWIDTH, 0xFFFFFFFF);
  test::WriteBytes(dir.path("wide.tif"), bytes);
  EXPECT_EQ(Refusal(dir.path("wide.tif")),
            QStringLiteral("Cannot read view \"%1\": its rows are too long to read (4294967295 pixels of 4 bytes; "
                           "a row may take at most 256 MiB)").arg(dir.path("wide.tif")));
  EXPECT_EQ(capture.Stop(), QByteArray());
}

TEST(TiffRefusal, ALoopOfDirectoriesIsRefused) {
  test::TempDir dir;
  StderrCapture capture(dir.path("stderr.txt"));
  test::WriteBytes(dir.path("loop.tif"), test::PackBitsView(8, 8, Gradient(8, 8), 4, 8).bytes);
  ExpectRefused(dir.path("loop.tif"), "its image directories form a loop");
  test::WriteBytes(dir.path("fine.tif"), test::PackBitsView(8, 8, Gradient(8, 8), 4).bytes);
  EXPECT_EQ(OpenSource(dir.path("fine.tif"))->image().Width, 8u);
  EXPECT_EQ(capture.Stop(), QByteArray());
}

// A stream that breaks in the first strip is found when the view is opened;
// one that breaks further down stops the export at that row, naming libtiff's
// reason, and leaves no output behind.
TEST(TiffRefusal, BrokenCompressedDataCarriesLibtiffsReason) {
  test::TempDir dir;
  StderrCapture capture(dir.path("stderr.txt"));
  test::LibtiffLayout lzw;
  lzw.compression = COMPRESSION_LZW;
  test::WriteWithLibtiff(dir.path("lzw.tif"), 16, 12, Wide(Gradient(16, 12)), lzw);
  const test::Striles strips = test::StrilesOf(dir.path("lzw.tif"));
  ASSERT_EQ(strips.offsets.size(), 3u);
  const std::vector<uint8_t> good = test::ReadBytes(dir.path("lzw.tif"));
  auto breakStrip = [&](size_t strip, const QString& path) {
    std::vector<uint8_t> bytes = good;
    std::fill_n(bytes.begin() + long(strips.offsets[strip]), strips.bytes[strip], 0xFF);
    test::WriteBytes(path, bytes);
  };
  breakStrip(0, dir.path("first.tif"));
  ExpectRefused(dir.path("first.tif"), "its pixel data cannot be decoded (LZW: ");

  breakStrip(2, dir.path("last.tif"));
  ExportRequest r;
  SetOption(r, "dpi", "(Auto)");
  SetOption(r, "width", "0.5");
  SetOption(r, "height", "1");
  SetOption(r, "compress", "1");
  SetOption(r, "unit", "inch");
  r.views = {dir.path("lzw.tif"), dir.path("last.tif")};
  r.outputPath = dir.path("out.tif");
  r.now = QDateTime(QDate(2026, 12, 8), QTime(1, 0));
  const QString message = ErrorOf([&] { ExportInterlaced(r, nullptr); });
  EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot read view \"%1\": cannot decode row 8 (LZW): ").arg(dir.path("last.tif"))))
      << message.toStdString();
  EXPECT_FALSE(QFile::exists(r.outputPath));

  // The same with a PackBits strip whose byte count says less than its rows need.
  test::PackBitsFile packed = test::PackBitsView(16, 12, Gradient(16, 12), 4);
  const uint32_t shortCount = packed.stripBytes[1] / 2;
  for (int i = 0; i < 4; ++i) packed.bytes[packed.byteCountsAt + 4 + i] = uint8_t(shortCount >> (8 * i));
  test::WriteBytes(dir.path("short.tif"), packed.bytes);
  auto reader = OpenSource(dir.path("short.tif"));
  std::vector<uint8_t> row(16 * 4);
  for (uint32_t y = 0; y < 6; ++y) reader->ReadRow(y, row.data());  // strip 1 still holds rows 4 and 5
  const QString shortMessage = ErrorOf([&] { reader->ReadRow(6, row.data()); });
  EXPECT_TRUE(shortMessage.startsWith(QStringLiteral("Cannot read view \"%1\": cannot decode row 6 (PackBits): ").arg(dir.path("short.tif"))))
      << shortMessage.toStdString();
  EXPECT_EQ(capture.Stop(), QByteArray());
}

}  // namespace
}  // namespace plivora
