// The views of one export: one reader per distinct file, shared by all its
// listings, and the decoding buffers of all files within one budget.
#include "series/view_set.h"

#include <unistd.h>

#include <QFile>

#include "common/file_names.h"
#include "sample/view_writer.h"
#include "series/tiff_test_tools.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

constexpr uint32_t kSide = 64;  // one 64 x 64 tile: 16 KiB as stored, 16 KiB as CMYK rows

std::vector<uint8_t> Pixels() {
  return test::MakePixels(kSide, kSide, [](uint32_t x, uint32_t y) {
    return std::vector<uint8_t>{uint8_t(x), uint8_t(y), uint8_t(x ^ y), uint8_t(x + y)};
  });
}

// A view of one uncompressed tile at `path`, and its twin in the strip
// layout at strip.tif.
void WriteTiled(const test::TempDir& dir, const QString& path) {
  WriteViewFile(dir.path("strip.tif"), kSide, kSide, Pixels());
  test::RunTool("tiffcp", {"-t", "-w", "64", "-l", "64", dir.path("strip.tif"), path});
}

// A file listed several times (by one path, or another path to the same
// file) is opened once, and its reader gives every listing the same rows as
// the export asks for them: row by row, every listing in turn.
TEST(ViewSet, ListingsOfOneFileShareOneReader) {
  test::TempDir dir;
  const QString a = dir.path("a.tif"), link = dir.path("link.tif");
  WriteTiled(dir, a);
  ASSERT_EQ(::link(NativeFileName(a).constData(), NativeFileName(link).constData()), 0);
  // Room for one file's buffers (a tile and its rows), not for two.
  ViewSet views(48 << 10);
  for (const QString& path : {a, link, a}) views.Add(path);
  EXPECT_EQ(views.size(), 3u);
  EXPECT_EQ(views.FileCount(), 1u);
  const std::vector<uint8_t> pixels = Pixels();
  std::vector<uint8_t> row(kSide * 4);
  for (uint32_t y = 0; y < kSide; ++y)
    for (size_t v = 0; v < views.size(); ++v) {
      views[v].ReadRow(y, row.data());
      ASSERT_EQ(row, std::vector<uint8_t>(pixels.begin() + y * kSide * 4, pixels.begin() + (y + 1) * kSide * 4)) << y << " " << v;
    }
}

// A second file with the same buffers does not fit, and is named; views in
// the strip layout take nothing from the budget.
TEST(ViewSet, TheViewThatPassesTheBudgetIsNamed) {
  test::TempDir dir;
  const QString a = dir.path("a.tif"), b = dir.path("b.tif");
  WriteTiled(dir, a);
  ASSERT_TRUE(QFile::copy(a, b));
  ViewSet views(48 << 10);
  views.Add(a);
  views.Add(dir.path("strip.tif"));
  EXPECT_EQ(ErrorOf([&] { views.Add(b); }),
            QStringLiteral("Cannot read view \"%1\": decoding it takes 32 KiB at a time, and the views before it already "
                           "take 32 KiB; that is more than the 48 KiB the views of one export may take together. "
                           "Store it in smaller strips or tiles").arg(b));
  ViewSet tiny(16 << 10);
  EXPECT_TRUE(ErrorOf([&] { tiny.Add(a); })
                  .startsWith(QStringLiteral("Cannot read view \"%1\": decoding it takes 32 KiB at a time; that is more than the 16 KiB").arg(a)));
}

}  // namespace
}  // namespace plivora
