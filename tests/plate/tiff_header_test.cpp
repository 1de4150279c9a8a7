#include "plate/tiff_header.h"

#include "common/output_file.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

std::vector<uint8_t> Bytes(const QByteArray& a) { return std::vector<uint8_t>(a.begin(), a.end()); }

struct Entry { uint16_t tag, type; uint32_t count, value; };

Entry EntryAt(const std::vector<uint8_t>& b, int index) {
  const size_t at = 10 + size_t(index) * 12;
  return {test::Le16(b, at), test::Le16(b, at + 2), test::Le32(b, at + 4), test::Le32(b, at + 8)};
}

const QByteArray kDate = QByteArray("2026-12-06 23:05:09");

TEST(TiffHeader, CmykLayoutIsExactly334Bytes) {
  const auto b = Bytes(TiffHeaderBytes(4, 1000, 500, 4000000000000, 400000000000, kDate));
  ASSERT_EQ(b.size(), 334u);
  EXPECT_EQ(test::Le16(b, 0), 0x4949);
  EXPECT_EQ(test::Le16(b, 2), 42);
  EXPECT_EQ(test::Le32(b, 4), 8u);
  EXPECT_EQ(test::Le16(b, 8), 17);
  const Entry expected[17] = {
      {254, 4, 1, 0},   {256, 4, 1, 1000}, {257, 4, 1, 500},     {258, 3, 4, 218},  {259, 3, 1, 1},
      {262, 3, 1, 5},   {273, 4, 1, 334},  {277, 3, 1, 4},       {278, 4, 1, 500},  {279, 4, 1, 2000000},
      {282, 5, 1, 226}, {283, 5, 1, 234},  {284, 3, 1, 1},       {296, 3, 1, 2},    {305, 2, 60, 242},
      {306, 2, 20, 302}, {315, 2, 12, 322},
  };
  for (int i = 0; i < 17; ++i) {
    const Entry e = EntryAt(b, i);
    EXPECT_EQ(e.tag, expected[i].tag) << i;
    EXPECT_EQ(e.type, expected[i].type) << e.tag;
    EXPECT_EQ(e.count, expected[i].count) << e.tag;
    EXPECT_EQ(e.value, expected[i].value) << e.tag;
  }
  EXPECT_EQ(test::Le32(b, 214), 0u);  // no next directory
  for (int i = 0; i < 4; ++i) EXPECT_EQ(test::Le16(b, 218 + 2 * i), 8);
  EXPECT_EQ(test::Le32(b, 226), 400000000u);
  EXPECT_EQ(test::Le32(b, 230), 100000u);
  EXPECT_EQ(test::Le32(b, 234), 40000000u);
  EXPECT_EQ(test::Le32(b, 238), 100000u);
  // Software: 58 characters filled out with spaces, then two zero bytes.
  EXPECT_EQ(b[242 + 57], ' ');
  EXPECT_EQ(b[242 + 58], 0);
  EXPECT_EQ(b[242 + 59], 0);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&b[302]), 20), kDate + QByteArray(1, '\0'));
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&b[322]), 12), "vexo Plivora");
}

TEST(TiffHeader, BilevelFormPacksEightPixelsAByte) {
  const auto b = Bytes(TiffHeaderBytes(0, 13, 7, 4000000000000, 400000000000, kDate));
  EXPECT_EQ(b.size(), 326u);
  const Entry bits = EntryAt(b, 3), photometric = EntryAt(b, 5), offsets = EntryAt(b, 6), spp = EntryAt(b, 7),
              byteCount = EntryAt(b, 9);
  EXPECT_EQ(bits.count, 1u);
  EXPECT_EQ(bits.value, 1u);
  EXPECT_EQ(photometric.value, 0u);
  EXPECT_EQ(offsets.value, 326u);
  EXPECT_EQ(spp.value, 1u);
  EXPECT_EQ(byteCount.value, 2u * 7);
  EXPECT_EQ(EntryAt(Bytes(TiffHeaderBytes(0, 16, 7, 1, 1, kDate)), 9).value, 2u * 7);  // no extra byte
}

TEST(TiffHeader, RgbFormHasShortSizes) {
  const auto b = Bytes(TiffHeaderBytes(3, 640, 480, 72000000000, 72000000000, kDate));
  EXPECT_EQ(b.size(), 332u);
  EXPECT_EQ(EntryAt(b, 1).type, 3);
  EXPECT_EQ(EntryAt(b, 2).type, 3);
  EXPECT_EQ(EntryAt(b, 5).value, 2u);
  EXPECT_EQ(EntryAt(b, 6).value, 332u);
  EXPECT_EQ(EntryAt(b, 9).value, 640u * 480 * 3);
}

TEST(TiffHeader, ResolutionKeepsFiveDecimalsWithTiesToEven) {
  const auto b = Bytes(TiffHeaderBytes(4, 1, 1, 75555555000, 75555565000, kDate));
  EXPECT_EQ(test::Le32(b, 226), 7555556u);  // 7555555.5 goes to the even neighbour
  EXPECT_EQ(test::Le32(b, 234), 7555556u);  // 7555556.5 likewise
}

TEST(TiffHeader, RefusesFieldsThatWouldOverflow) {
  EXPECT_TRUE(ErrorOf([] { TiffHeaderBytes(4, 1, 1, 42949680000000, 1, kDate); }).contains("resolution"));
  EXPECT_TRUE(ErrorOf([] { TiffHeaderBytes(4, 65536, 16384, 1, 1, kDate); }).contains("4 GiB"));
  EXPECT_TRUE(ErrorOf([] { TiffHeaderBytes(3, 70000, 1, 1, 1, kDate); }).contains("RGB"));
}

TEST(TiffDateTime, IsTwentyBytesCutOrZeroFilled) {
  const QDateTime when(QDate(2026, 12, 6), QTime(23, 5, 9));
  EXPECT_EQ(TiffDateTime(when, QLocale::c()), QByteArray("2026-12-06 23:05:09") + QByteArray(1, '\0'));
  // A 21-byte text keeps its first 20 bytes and no zero byte.
  const QByteArray us = TiffDateTime(when, QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(us.size(), 20);
  EXPECT_TRUE(us.startsWith("12/6/26 11:05:09")) << us.toStdString();
  const auto b = Bytes(TiffHeaderBytes(4, 1, 1, 1, 1, "2026-12-06   23:05:09"));
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&b[302]), 20), "2026-12-06   23:05:0");
  EXPECT_EQ(b[322], 'v');  // the Artist text follows with no zero byte between
}

TEST(WriteTiffHeader, LeavesTheStreamAtThePixelData) {
  test::TempDir dir;
  OutputFile out(dir.path("h.tif"));
  EXPECT_EQ(WriteTiffHeader(out, 4, 10, 10, 4000000000000, 400000000000, kDate), 334);
  EXPECT_EQ(out.Position(), 334u);
}

}  // namespace
}  // namespace plivora
