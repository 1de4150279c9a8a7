#include "series/source_image.h"

#include <QFile>

#include "sample/view_writer.h"
#include "series/byte_order.h"
#include "series/strip_layout.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

// Entry positions in the files WriteViewFile makes.
enum EntryIndex { kSubfile, kWidth, kHeight, kBits, kCompression, kPhotometric, kOffsets, kSamples, kRowsPerStrip,
                  kByteCounts, kPlanar };

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { PutLe16(b.data() + at, v); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { PutLe32(b.data() + at, v); }
void SetEntry(std::vector<uint8_t>& b, int index, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  const size_t at = 10 + size_t(index) * 12;
  Put16(b, at, tag);
  Put16(b, at + 2, type);
  Put32(b, at + 4, count);
  Put32(b, at + 8, value);
}
void SetValue(std::vector<uint8_t>& b, int index, uint32_t value) { Put32(b, 10 + size_t(index) * 12 + 8, value); }

std::vector<uint8_t> FourByThree() {
  return ViewFileBytes(4, 3, test::MakePixels(4, 3, [](uint32_t x, uint32_t y) {
                         return std::vector<uint8_t>{uint8_t(x), uint8_t(y), uint8_t(10 * x + y), 255};
                       }));
}

// What the strip-layout check says of `bytes`: "ok", the reason it is in
// another layout, or the message that refuses it.
QString LayoutVerdict(const std::vector<uint8_t>& bytes) {
  test::TempDir dir;
  test::WriteBytes(dir.path("v.tif"), bytes);
  SourceFile file(dir.path("v.tif"));
  QString why;
  try {
    return ReadStripLayout(file, &why) ? QStringLiteral("ok") : why;
  } catch (const Error& e) {
    return e.message();
  }
}

TEST(StripLayout, ReadsSizeAndDataOffset) {
  test::TempDir dir;
  test::WriteBytes(dir.path("v.tif"), FourByThree());
  SourceImage image;
  ReadSourceHeader(dir.path("v.tif"), image);
  EXPECT_EQ(image.Path, dir.path("v.tif"));
  EXPECT_EQ(image.Width, 4u);
  EXPECT_EQ(image.Height, 3u);
  EXPECT_EQ(image.DataOffset, 8u + 2 + 11 * 12 + 4 + 8);
}

TEST(StripLayout, AcceptsShortValuesRepeatedTagsAndAbsentOptionalTags) {
  std::vector<uint8_t> b = FourByThree();
  SetEntry(b, kWidth, 256, 3, 1, 4);  // SHORT
  EXPECT_EQ(LayoutVerdict(b), "ok");
  SetEntry(b, kSubfile, 256, 4, 1, 99);  // an earlier ImageWidth: the later entry wins
  EXPECT_EQ(LayoutVerdict(b), "ok");
  std::vector<uint8_t> c = FourByThree();
  for (int i : {kBits, kCompression, kPhotometric, kSamples, kPlanar}) SetEntry(c, i, 700 + i, 3, 1, 0);
  EXPECT_EQ(LayoutVerdict(c), "ok");
}

TEST(StripLayout, NamesWhyAFileIsNotInTheLayout) {
  struct Case { const char* what; void (*change)(std::vector<uint8_t>&); const char* reason; };
  const Case cases[] = {
      {"big-endian", [](auto& b) { b[0] = b[1] = 'M'; }, "big-endian"},
      {"not a TIFF", [](auto& b) { b[0] = 'P'; }, "not a little-endian TIFF"},
      {"no 42", [](auto& b) { Put16(b, 2, 43); }, "not a TIFF"},
      {"directory elsewhere", [](auto& b) { Put32(b, 4, 200); }, "offset 200"},
      {"directory past the end", [](auto& b) { Put16(b, 8, 5000); }, "runs past the end"},
      {"width 0", [](auto& b) { SetValue(b, kWidth, 0); }, "width is 0"},
      {"no width", [](auto& b) { SetEntry(b, kWidth, 700, 3, 1, 0); }, "no ImageWidth"},
      {"height 0", [](auto& b) { SetValue(b, kHeight, 0); }, "height is 0"},
      {"no strip offsets", [](auto& b) { SetEntry(b, kOffsets, 700, 3, 1, 0); }, "no StripOffsets"},
      {"several strips", [](auto& b) { SetEntry(b, kOffsets, 273, 4, 3, 40); }, "3 strips"},
      {"LZW", [](auto& b) { SetValue(b, kCompression, 5); }, "compressed (LZW)"},
      {"RGB", [](auto& b) { SetValue(b, kPhotometric, 2); }, "not a CMYK image"},
      {"three samples", [](auto& b) { SetValue(b, kSamples, 3); }, "3 samples per pixel"},
      {"16 bits", [](auto& b) { Put16(b, 8 + 2 + 11 * 12 + 4 + 2, 16); }, "16 bits per sample"},
      {"bits in the entry", [](auto& b) { SetEntry(b, kBits, 258, 3, 1, 1); }, "1 bits per sample"},
      {"planes", [](auto& b) { SetValue(b, kPlanar, 2); }, "separate planes"},
      {"odd field type", [](auto& b) { SetEntry(b, kHeight, 257, 5, 1, 3); }, "field type 5"},
      {"pixels past the end", [](auto& b) { b.pop_back(); }, "runs past the end of the file"},
      {"offset past the end", [](auto& b) { SetValue(b, kOffsets, 0xFFFFFFF0); }, "runs past the end of the file"},
      {"too short", [](auto& b) { b.resize(9); }, "too short"},
      {"too many BitsPerSample values", [](auto& b) { SetEntry(b, kBits, 258, 3, 700000000, 8); }, "700000000 values"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = FourByThree();
    c.change(b);
    const QString verdict = LayoutVerdict(b);
    EXPECT_TRUE(verdict.contains(c.reason)) << c.what << ": " << verdict.toStdString();
  }
}

// Files in the layout whose pixels cannot be where the header says are
// refused by name, never read as whatever bytes lie there.
TEST(StripLayout, RefusesPixelDataThatIsNotWhereTheHeaderSays) {
  struct Case { const char* what; void (*change)(std::vector<uint8_t>&); const char* reason; };
  const Case cases[] = {
      // 2^31 x 2^31 x 4 bytes is 2^64: the size must not wrap to 0.
      {"2^31 x 2^31 pixels, none stored", [](auto& b) {
         SetValue(b, kWidth, 1u << 31);
         SetValue(b, kHeight, 1u << 31);
         SetValue(b, kRowsPerStrip, ~0u);
       },
       "its pixel data (2147483648 x 2147483648 pixels from offset 154) runs past the end of the file (202 bytes)"},
      {"2^32 - 1 rows of 2^32 - 1 pixels", [](auto& b) {
         SetValue(b, kWidth, ~0u);
         SetValue(b, kHeight, ~0u);
         SetValue(b, kRowsPerStrip, ~0u);
       },
       "runs past the end of the file (202 bytes)"},
      {"several strips, one offset", [](auto& b) { SetValue(b, kRowsPerStrip, 1); },
       "its RowsPerStrip of 1 cuts its 3 rows into 3 strips, but its StripOffsets tag holds one offset"},
      {"no rows per strip", [](auto& b) { SetValue(b, kRowsPerStrip, 0); }, "its RowsPerStrip is 0"},
      {"pixels over the directory", [](auto& b) { SetValue(b, kOffsets, 20); },
       "its pixel data starts at offset 20, inside its header and image directory (bytes 0 to 145)"},
      {"pixels over the header", [](auto& b) { SetValue(b, kOffsets, 0); }, "starts at offset 0, inside its header and image directory (bytes 0 to 145)"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = FourByThree();
    c.change(b);
    const QString verdict = LayoutVerdict(b);
    EXPECT_TRUE(verdict.startsWith("Cannot read view \"") && verdict.endsWith(c.reason)) << c.what << ": " << verdict.toStdString();
  }
  std::vector<uint8_t> b = FourByThree();
  SetValue(b, kRowsPerStrip, 3);  // one strip, exactly
  EXPECT_EQ(LayoutVerdict(b), "ok");
}

// A BitsPerSample count of 700 million, in a file large enough to hold that
// many values (sparse here), must size no buffer.
TEST(StripLayout, AHugeBitsPerSampleCountSizesNoBuffer) {
  test::TempDir dir;
  std::vector<uint8_t> b = FourByThree();
  SetEntry(b, kBits, 258, 3, 700000000, 8 + 2 + 11 * 12 + 4);
  test::WriteBytes(dir.path("v.tif"), b);
  ASSERT_TRUE(QFile(dir.path("v.tif")).resize(1500000000));
  EXPECT_LT(test::ChildPeakRiseKiB([&] { OpenSource(dir.path("v.tif")); }), 128 << 10);
}

TEST(SourceReader, ReadsRowsAsStored) {
  test::TempDir dir;
  const std::vector<uint8_t> bytes = FourByThree();
  test::WriteBytes(dir.path("v.tif"), bytes);
  auto reader = OpenSource(dir.path("v.tif"));
  const uint32_t offset = reader->image().DataOffset;
  std::vector<uint8_t> row(16);
  for (uint32_t r = 0; r < 3; ++r) {
    reader->ReadRow(r, row.data());
    EXPECT_EQ(row, std::vector<uint8_t>(bytes.begin() + offset + r * 16, bytes.begin() + offset + (r + 1) * 16));
  }
  EXPECT_TRUE(ErrorOf([&] { reader->ReadRow(3, row.data()); }).contains("before row 3"));
  ReadSourceRow(reader->image(), 2, row.data());
  EXPECT_EQ(row[1], 2);
}

TEST(SourceReader, RefusesMissingAndTruncatedFilesNamingThem) {
  test::TempDir dir;
  EXPECT_EQ(ErrorOf([&] { OpenSource(dir.path("none.tif")); }),
            QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(dir.path("none.tif")));
  EXPECT_TRUE(ErrorOf([&] { OpenSource(dir.path()); }).startsWith(QStringLiteral("Cannot read view \"%1\": it is not a regular file").arg(dir.path())));
  std::vector<uint8_t> cut = FourByThree();
  cut.resize(cut.size() - 16);
  test::WriteBytes(dir.path("cut.tif"), cut);
  const QString message = ErrorOf([&] { OpenSource(dir.path("cut.tif")); });
  EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot read view \"%1\"").arg(dir.path("cut.tif"))));
  EXPECT_TRUE(message.contains("past the end")) << message.toStdString();
  test::WriteBytes(dir.path("empty.tif"), {});
  EXPECT_TRUE(ErrorOf([&] { OpenSource(dir.path("empty.tif")); }).contains(dir.path("empty.tif")));
}

TEST(LoadSourceBitmap, CopiesSamplesIntoPixelBytesAndInvertsOnRequest) {
  test::TempDir dir;
  WriteViewFile(dir.path("v.tif"), 2, 1, {0, 64, 128, 255, 1, 2, 3, 4});
  QImage bitmap(1, 1, QImage::Format_RGB32);
  LoadSourceBitmap(dir.path("v.tif"), bitmap, false);
  ASSERT_EQ(bitmap.size(), QSize(2, 1));
  EXPECT_EQ(std::vector<uint8_t>(bitmap.constBits(), bitmap.constBits() + 8),
            (std::vector<uint8_t>{0, 64, 128, 255, 1, 2, 3, 4}));
  LoadSourceBitmap(dir.path("v.tif"), bitmap, true);
  EXPECT_EQ(std::vector<uint8_t>(bitmap.constBits(), bitmap.constBits() + 4), (std::vector<uint8_t>{255, 191, 127, 0}));
  QImage wrong(1, 1, QImage::Format_RGB888);
  EXPECT_FALSE(ErrorOf([&] { LoadSourceBitmap(dir.path("v.tif"), wrong, false); }).isEmpty());
}

}  // namespace
}  // namespace plivora
