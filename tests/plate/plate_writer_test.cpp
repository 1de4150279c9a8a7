#include "plate/plate_writer.h"

#include <tiffio.h>

#include <QDir>
#include <cstring>

#include "common/output_file.h"
#include "plate/strip_encoders.h"
#include "plate/tiff_header.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::TempDir;

const QByteArray kDate = QByteArrayLiteral("2026-12-08 06:53:50");

// Rows that give every codec something to do: runs, steps and noise.
std::vector<uint8_t> Rows(int64_t width, int64_t rows) {
  std::vector<uint8_t> bytes(size_t(width * rows * 4));
  uint32_t noise = 12345;
  for (size_t i = 0; i < bytes.size(); ++i) {
    noise = noise * 1103515245 + 12345;
    const size_t x = (i / 4) % size_t(width);
    bytes[i] = x % 97 < 40 ? uint8_t(x / 7) : x % 97 < 60 ? uint8_t(noise >> 24) : uint8_t(i % 4 == 3 ? 0 : 200);
  }
  return bytes;
}

// Appends `rows` in uneven pieces, from a few rows to more than a strip's;
// `padded` puts each row inside a wider buffer, as the panels of a print
// receive theirs.
void AppendInPieces(PlateWriter& plate, const std::vector<uint8_t>& rows, int64_t width, bool padded = true) {
  const size_t rowBytes = size_t(width) * 4, stride = padded ? rowBytes + 24 : rowBytes, count = rows.size() / rowBytes;
  const size_t at = padded ? 12 : 0;
  std::vector<uint8_t> wide(count * stride, 0xEE);
  for (size_t r = 0; r < count; ++r) std::memcpy(wide.data() + r * stride + at, rows.data() + r * rowBytes, rowBytes);
  const size_t pieces[] = {1, 100, 7, 180, 13, 41};
  for (size_t first = 0, k = 0; first < count; first += pieces[k], k = (k + 1) % 6)
    plate.Append(wide.data() + first * stride + at, std::min(pieces[k], count - first), stride);
}

struct ReadBack {
  std::vector<uint8_t> rows;
  uint16_t compression = 0, photometric = 0, inkset = 0, unit = 0, bits = 0, samples = 0;
  float xres = 0, yres = 0;
  QByteArray software, dateTime, artist;
  bool bigTiff = false;
};

ReadBack Read(const QString& path) {
  // The plain form's texts are not what libtiff expects of ASCII; it says so.
  TIFFSetWarningHandler(nullptr);
  ReadBack r;
  TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
  if (!tif) {
    ADD_FAILURE() << "libtiff cannot open " << path.toStdString();
    return r;
  }
  uint32_t width = 0, height = 0;
  char *software = nullptr, *date = nullptr, *artist = nullptr;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &r.compression);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &r.photometric);
  TIFFGetField(tif, TIFFTAG_INKSET, &r.inkset);
  TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &r.unit);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &r.bits);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &r.samples);
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &r.xres);
  TIFFGetField(tif, TIFFTAG_YRESOLUTION, &r.yres);
  if (TIFFGetField(tif, TIFFTAG_SOFTWARE, &software)) r.software = software;
  if (TIFFGetField(tif, TIFFTAG_DATETIME, &date)) r.dateTime = date;
  if (TIFFGetField(tif, TIFFTAG_ARTIST, &artist)) r.artist = QByteArray(artist, 12);
  r.bigTiff = TIFFIsBigTIFF(tif);
  r.rows.resize(size_t(width) * height * 4);
  for (uint32_t y = 0; y < height; ++y)
    if (TIFFReadScanline(tif, r.rows.data() + size_t(y) * width * 4, y, 0) < 0) ADD_FAILURE() << "row " << y;
  TIFFClose(tif);
  return r;
}

const PlateLayout kLayout{3000, 300, 4000000000000LL, 400000000000LL, kDate, 1 << 20, 4, {}};

// Every form holds the rows given, with the image's tags, whatever the
// pieces the rows come in and however many lanes encode.
TEST(PlateWriter, EveryFormReadsBackAsTheRowsGiven) {
  const std::vector<uint8_t> rows = Rows(kLayout.width, kLayout.rows);
  const struct {
    OutputForm form;
    uint16_t tag;
  } forms[] = {{{Compression::None, false}, COMPRESSION_NONE},      {{Compression::PackBits, false}, COMPRESSION_PACKBITS},
               {{Compression::Lzw, false}, COMPRESSION_LZW},        {{Compression::Deflate, false}, COMPRESSION_ADOBE_DEFLATE},
               {{Compression::None, true}, COMPRESSION_NONE},       {{Compression::Lzw, true}, COMPRESSION_LZW}};
  for (const auto& [form, tag] : forms) {
    for (const unsigned lanes : {0u, 3u}) {
      const QString name = CompressionName(form.compression) + (form.bigTiff ? "-big" : "") + QString::number(lanes);
      TempDir dir;
      const QString path = dir.path(name + ".tif");
      {
        StripEncoders encoders(lanes);
        auto plate = CreatePlateWriter(path, kLayout, form, encoders, "ADVICE");
        AppendInPieces(*plate, rows, kLayout.width, lanes > 0);
        plate->Finish();
        plate->file().Commit();
      }
      const ReadBack r = Read(path);
      SCOPED_TRACE(name.toStdString());
      EXPECT_TRUE(r.rows == rows);
      EXPECT_EQ(r.compression, tag);
      EXPECT_EQ(r.bigTiff, form.bigTiff);
      EXPECT_EQ(test::ReadBytes(path)[2], form.bigTiff ? 43 : 42);
      EXPECT_EQ(r.photometric, PHOTOMETRIC_SEPARATED);
      EXPECT_EQ(r.bits, 8);
      EXPECT_EQ(r.samples, 4);
      EXPECT_EQ(r.unit, RESUNIT_INCH);
      EXPECT_EQ(r.xres, 4000.0f);
      EXPECT_EQ(r.yres, 400.0f);
      EXPECT_EQ(r.software.trimmed(), TiffSoftwareText());  // the plain form pads it with spaces
      EXPECT_EQ(r.dateTime, kDate);
      EXPECT_EQ(r.artist, TiffArtistText());
      if (!form.Plain()) {
        EXPECT_EQ(r.inkset, INKSET_CMYK);
      }
    }
  }
}

// The plain form is the classic file, byte for byte: its header, then the rows.
TEST(PlateWriter, PlainFormIsTheClassicFile) {
  TempDir dir;
  const std::vector<uint8_t> rows = Rows(kLayout.width, kLayout.rows);
  StripEncoders encoders(2);
  auto plate = CreatePlateWriter(dir.path("p.tif"), kLayout, OutputForm{}, encoders, "ADVICE");
  AppendInPieces(*plate, rows, kLayout.width);
  plate->Finish();
  plate->file().Commit();
  const QByteArray header = TiffHeaderBytes(4, 3000, 300, kLayout.xResolutionE9, kLayout.yResolutionE9, kDate);
  std::vector<uint8_t> expected(header.begin(), header.end());
  expected.insert(expected.end(), rows.begin(), rows.end());
  EXPECT_TRUE(test::ReadBytes(dir.path("p.tif")) == expected);
}

// Plates of different widths written side by side share the lanes: a
// buffer one plate hands back may have held the other's strip.
TEST(PlateWriter, PlatesSideBySideShareTheEncoders) {
  TempDir dir;
  // The narrow plate's one strip is a quarter of the wide plate's.
  const PlateLayout narrow{700, 100, kLayout.xResolutionE9, kLayout.yResolutionE9, kDate, 1 << 20, 4, {}};
  const std::vector<uint8_t> wideRows = Rows(kLayout.width, kLayout.rows), narrowRows = Rows(700, 100);
  StripEncoders encoders(2);
  auto a = CreatePlateWriter(dir.path("a.tif"), kLayout, {Compression::Lzw, false}, encoders, "ADVICE");
  auto b = CreatePlateWriter(dir.path("b.tif"), narrow, {Compression::PackBits, true}, encoders, "ADVICE");
  // b's strip is handed in first, so that its buffer comes back to a.
  for (size_t r = 0; r < 10; ++r) b->Append(narrowRows.data() + r * 10 * 2800, 10, 2800);
  for (size_t r = 0; r < 10; ++r) a->Append(wideRows.data() + r * 30 * 12000, 30, 12000);
  a->Finish();
  b->Finish();
  OutputFile::CommitTogether({&a->file(), &b->file()});
  EXPECT_TRUE(Read(dir.path("a.tif")).rows == wideRows);
  EXPECT_TRUE(Read(dir.path("b.tif")).rows == narrowRows);
}

// A compressed classic file is refused before its strips pass the 4 GiB
// offset (here a lower limit stands in for it), and leaves nothing.
TEST(PlateWriter, CompressedClassicFileRefusedBeforePassingItsLimit) {
  TempDir dir;
  const std::vector<uint8_t> rows = Rows(kLayout.width, kLayout.rows);
  const QString message = ErrorOf([&] {
    StripEncoders encoders(2);
    auto plate = CreatePlateWriter(dir.path("c.tif"), kLayout, {Compression::Deflate, false}, encoders, "ADVICE", 200000);
    AppendInPieces(*plate, rows, kLayout.width);
    plate->Finish();
  });
  EXPECT_TRUE(message.startsWith("A DEFLATE compressed output of 3000 x 300 pixels passes 4 GiB at row ")) << message.toStdString();
  EXPECT_TRUE(message.endsWith(" and does not fit a TIFF file (at most 4 GiB); ADVICE"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
  // A BigTIFF has no such limit.
  StripEncoders encoders(2);
  auto plate = CreatePlateWriter(dir.path("c.tif"), kLayout, {Compression::Deflate, true}, encoders, "ADVICE", 200000);
  AppendInPieces(*plate, rows, kLayout.width);
  plate->Finish();
}

}  // namespace
}  // namespace plivora
