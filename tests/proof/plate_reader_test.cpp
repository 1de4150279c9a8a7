#include "proof/plate_reader.h"

#include <sys/stat.h>
#include <tiffio.h>

#include <QDir>
#include <QFile>

#include "../fuzz/proof_plate.h"
#include "colour/icc_profile.h"
#include "proof/screen_colours.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

struct PlateLayout {
  uint32_t width = 21, height = 9;
  uint16_t photometric = 5, samples = 4, compression = 1;  // CMYK, uncompressed
  uint32_t rowsPerStrip = 8;
  bool bigEndian = false, resolution = true;
  float xResolution = 100, yResolution = 100;
  uint16_t unit = 2;  // 2 inch, 3 cm, 1 none
};

// Writes a plate through libtiff: every sample of pixel (x, y) is 3 x + y.
void WritePlate(const QString& path, const PlateLayout& layout) {
  TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), layout.bigEndian ? "wb" : "wl");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, layout.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, layout.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, layout.rowsPerStrip);
  if (layout.resolution) {
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, layout.xResolution);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, layout.yResolution);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, layout.unit);
  }
  std::vector<uint8_t> line(size_t(layout.width) * layout.samples);
  for (uint32_t y = 0; y < layout.height; ++y) {
    for (size_t i = 0; i < line.size(); ++i) line[i] = uint8_t(3 * (i / layout.samples) + y);
    ASSERT_GE(TIFFWriteScanline(tif, line.data(), y, 0), 0);
  }
  TIFFClose(tif);
}

struct ReadCase {
  const char* name;
  PlateLayout layout;
  Real xDpi, yDpi;
  ColourModel model;
};

// Plates of every colour model in other writers' layouts: strips of other
// sizes, compressed, big-endian, resolutions in centimetres.
TEST(OpenPlate, ReadsAnyEightBitTiffAndPlacesIt) {
  const ReadCase cases[] = {
      {"grey plate", {.xResolution = 4000, .yResolution = 400}, 4000, 400, ColourModel::kCmyk},
      {"lzw strips of 2", {.compression = 5, .rowsPerStrip = 2}, 100, 100, ColourModel::kCmyk},
      {"big-endian, one strip", {.rowsPerStrip = 9, .bigEndian = true}, 100, 100, ColourModel::kCmyk},
      {"centimetres", {.xResolution = 300, .yResolution = 30, .unit = 3}, 762, 76.2L, ColourModel::kCmyk},
      {"rgb deflate", {.photometric = 2, .samples = 3, .compression = 8}, 100, 100, ColourModel::kRgb},
      {"grey", {.photometric = 1, .samples = 1}, 100, 100, ColourModel::kGrey},
  };
  test::TempDir dir;
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.path(QString::fromLatin1(c.name) + ".tif");
    WritePlate(path, c.layout);
    OpenedPlate plate = OpenPlate(path);
    EXPECT_EQ(plate.frame.width, 21u);
    EXPECT_EQ(plate.frame.height, 9u);
    EXPECT_NEAR(double(plate.frame.xDpi), double(c.xDpi), 1e-4);
    EXPECT_NEAR(double(plate.frame.yDpi), double(c.yDpi), 1e-4);
    EXPECT_EQ(plate.frame.model, c.model);
    std::vector<uint8_t> row(21 * 4);
    for (uint32_t y = 0; y < 9; ++y) {
      plate.rows->ReadRow(y, row.data());
      EXPECT_EQ(row[4 * 20], uint8_t(60 + y)) << y;
    }
  }
}

struct RefusalCase {
  const char* name;
  PlateLayout layout;
  const char* reason;
};

TEST(OpenPlate, RefusesWhatItCannotPlaceOrRead) {
  const RefusalCase cases[] = {
      {"no resolution", {.resolution = false}, "it has no XResolution tag, so the size of its pixels is unknown"},
      {"no unit", {.unit = 1}, "its resolution has no unit (ResolutionUnit 1), so the size of its pixels is unknown"},
      {"zero dpi", {.yResolution = 0}, "its YResolution (0) is not a resolution"},
      {"lab", {.photometric = 8, .samples = 3}, "its colour model is Lab; a plate is CMYK, RGB or greyscale"},
  };
  test::TempDir dir;
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.path(QString::fromLatin1(c.name) + ".tif");
    WritePlate(path, c.layout);
    EXPECT_EQ(ErrorOf([&] { OpenPlate(path); }), QStringLiteral("Cannot read plate \"%1\": %2").arg(path, QLatin1String(c.reason)));
  }
  const QString text = dir.path("notes.tif");
  test::WriteBytes(text, {'n', 'o', 't', 'e', 's', ' ', 'a', 'n', 'd', ' ', 'm', 'o', 'r', 'e'});
  EXPECT_EQ(ErrorOf([&] { OpenPlate(text); }), QStringLiteral("Cannot read plate \"%1\": it is not a TIFF file").arg(text));
  const QString fifo = dir.path("fifo.tif");
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { OpenPlate(fifo); }), QStringLiteral("Cannot read plate \"%1\": it is not a regular file (a FIFO)").arg(fifo));
  EXPECT_TRUE(ErrorOf([&] { OpenPlate(dir.path("missing.tif")); }).startsWith(QStringLiteral("Cannot open file")));
}

// A row that breaks further down is named as the plate's, at its row.
TEST(OpenPlate, NamesTheRowThatBreaks) {
  test::TempDir dir;
  const QString path = dir.path("cut.tif");
  WritePlate(path, {.width = 64, .height = 64, .compression = 5});
  std::vector<uint8_t> bytes = test::ReadBytes(path);
  OpenedPlate plate = OpenPlate(path);
  // Cut the file after the plate was opened: its later strips are gone.
  bytes.resize(bytes.size() / 2);
  test::WriteBytes(path, bytes);
  std::vector<uint8_t> row(64 * 4);
  const QString message = ErrorOf([&] {
    for (uint32_t y = 0; y < 64; ++y) plate.rows->ReadRow(y, row.data());
  });
  EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot read plate \"%1\": ").arg(path))) << message.toStdString();
}

// A profile of another model than the plate's pixels is refused, naming
// the plate (the colours themselves are checked against LittleCMS by the
// command-line test).
TEST(ScreenColours, RefuseAProfileOfAnotherModel) {
  PlateFrame wrong;
  wrong.model = ColourModel::kCmyk;
  wrong.profile = IccProfile::Srgb().bytes();
  EXPECT_EQ(ErrorOf([&] { ScreenColours(wrong, QStringLiteral("p.tif")); }),
            "Cannot read plate \"p.tif\": its ICC profile is for RGB and its pixels are CMYK");
}

// The fuzzer's corpus, seen through both lens directions: every file makes
// a proof or is refused with Error.
TEST(PlateCorpus, EveryInputMakesAProofOrIsRefused) {
  const QDir corpus(QStringLiteral(PLIVORA_FUZZ_CORPUS));
  int proofs = 0, refused = 0;
  for (const QString& name : corpus.entryList(QDir::Files, QDir::Name)) {
    SCOPED_TRACE(name.toStdString());
    QFile file(corpus.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    (fuzz::ProofEveryWay(file.readAll()) ? proofs : refused)++;
  }
  EXPECT_GE(proofs, 3);
  EXPECT_GT(refused, 5);
}

}  // namespace
}  // namespace plivora
