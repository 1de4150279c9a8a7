#include "proof/plate_reader.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "../fuzz/proof_plate.h"
#include "colour/icc_profile.h"
#include "proof/screen_colours.h"
#include "proof_test_tools.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::PlateLayout;

std::vector<uint8_t> Ramp(uint32_t x, uint32_t y) { return {uint8_t(x * 3 + y), uint8_t(x * 3 + y), uint8_t(x * 3 + y), uint8_t(x * 3 + y)}; }

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
      {"grey plate", {.width = 21, .height = 9, .xResolution = 4000, .yResolution = 400}, 4000, 400, ColourModel::kCmyk},
      {"lzw strips of 2", {.width = 21, .height = 9, .compression = 5, .rowsPerStrip = 2}, 100, 100, ColourModel::kCmyk},
      {"big-endian, one strip", {.width = 21, .height = 9, .rowsPerStrip = 9, .bigEndian = true}, 100, 100, ColourModel::kCmyk},
      {"centimetres", {.width = 21, .height = 9, .xResolution = 300, .yResolution = 30, .unit = 3}, 762, 76.2L, ColourModel::kCmyk},
      {"rgb deflate", {.width = 21, .height = 9, .photometric = 2, .samples = 3, .compression = 8}, 100, 100, ColourModel::kRgb},
      {"grey", {.width = 21, .height = 9, .photometric = 1, .samples = 1}, 100, 100, ColourModel::kGrey},
  };
  test::TempDir dir;
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.path(QString::fromLatin1(c.name) + ".tif");
    test::WritePlate(path, c.layout, Ramp);
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
      {"no resolution", {.width = 4, .height = 4, .resolution = false},
       "it has no XResolution tag, so the size of its pixels is unknown"},
      {"no unit", {.width = 4, .height = 4, .unit = 1},
       "its resolution has no unit (ResolutionUnit 1), so the size of its pixels is unknown"},
      {"zero dpi", {.width = 4, .height = 4, .yResolution = 0}, "its YResolution (0) is not a resolution"},
      {"lab", {.width = 4, .height = 4, .photometric = 8, .samples = 3},
       "its colour model is Lab; views are CMYK, RGB or greyscale"},
  };
  test::TempDir dir;
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.path(QString::fromLatin1(c.name) + ".tif");
    test::WritePlate(path, c.layout, Ramp);
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
  test::WritePlate(path, {.width = 64, .height = 64, .compression = 5, .rowsPerStrip = 8},
                   [](uint32_t x, uint32_t y) { return std::vector<uint8_t>{uint8_t(x * y), uint8_t(x), uint8_t(y), 0}; });
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

// Screen colours: a grey plate's equal inks as grey, other inks through the
// CMYK profile, RGB and grey as they are.
TEST(ScreenColours, ShowEachPlateInItsOwnColours) {
  struct Case {
    ColourModel model;
    QByteArray profile;
    std::vector<uint8_t> pixel;
    std::vector<int> rgb;  // -1: not checked
  };
  const Case cases[] = {
      {ColourModel::kCmyk, {}, {0, 0, 0, 0}, {255, 255, 255}},
      {ColourModel::kCmyk, {}, {200, 200, 200, 200}, {55, 55, 55}},
      {ColourModel::kCmyk, {}, {255, 0, 0, 0}, {-1, -1, -1}},
      {ColourModel::kRgb, {}, {10, 120, 230, 0}, {10, 120, 230}},
      {ColourModel::kRgb, IccProfile::Srgb().bytes(), {10, 120, 230, 0}, {10, 120, 230}},
      {ColourModel::kGrey, {}, {77, 77, 77, 0}, {77, 77, 77}},
  };
  for (const Case& c : cases) {
    PlateFrame frame;
    frame.model = c.model;
    frame.profile = c.profile;
    ProofPicture picture{1, 1, c.model, c.pixel};
    const QImage screen = ScreenColours(frame, QStringLiteral("p.tif")).ToScreen(picture);
    const uchar* rgb = screen.constScanLine(0);
    for (int k = 0; k < 3; ++k)
      if (c.rgb[k] >= 0) {
        EXPECT_NEAR(rgb[k], c.rgb[k], 1) << ColourModelName(c.model).toStdString() << " " << k;
      }
    if (c.rgb[0] < 0) {  // cyan through the press profile: little red, much blue
      EXPECT_LT(rgb[0], 100);
      EXPECT_GT(rgb[2], 180);
    }
  }
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
