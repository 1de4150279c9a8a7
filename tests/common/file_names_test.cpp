#include "common/file_names.h"

#include "support/test_support.h"

namespace plivora {
namespace {

// Names are bytes: every byte string must come back exactly, valid UTF-8 must
// read as its text, and nothing else may be read as text.
TEST(FileNames, EveryByteStringRoundTrips) {
  const QByteArray names[] = {
      "plate.tif",
      "lat\xe9.tif",                   // Latin-1 e-acute: not UTF-8
      "\xe5\x9b\xbe.tif",              // a Chinese character in UTF-8
      "\xf0\x9f\x93\xb7 photo.tif",    // outside the BMP
      "\xed\xa0\x80.tif",              // an encoded surrogate: not valid UTF-8
      "\xc0\xaf overlong",             // an overlong "/": not valid UTF-8
      "cut \xe5\x9b",                  // a sequence cut short at the end
      "\xff\xfe\x80",
  };
  for (const QByteArray& n : names) EXPECT_EQ(NativeFileName(FileNameFromNative(n)), n) << n.toHex().constData();
  EXPECT_EQ(FileNameFromNative("\xe5\x9b\xbe.tif"), QString::fromUtf8("\xe5\x9b\xbe.tif"));
  EXPECT_EQ(FileNameFromNative("\xf0\x9f\x93\xb7"), QString::fromUtf8("\xf0\x9f\x93\xb7"));
  EXPECT_EQ(FileNameFromNative("lat\xe9").size(), 4);
  EXPECT_NE(FileNameFromNative("lat\xe9"), FileNameFromNative("lat?"));
}

}  // namespace
}  // namespace plivora
