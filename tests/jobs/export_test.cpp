#include "jobs/export.h"

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>

#include "common/file_names.h"
#include "drawing/caption_strip.h"
#include "interlace/pixel_rule.h"
#include "plate/level_rows.h"
#include "sample/view_writer.h"
#include "series/byte_order.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::ImageRows;

const QDateTime kWhen(QDate(2026, 12, 6), QTime(23, 5, 9));

ExportRequest Request(const QStringList& views, const QString& output, uint32_t firstWidth, uint32_t firstHeight) {
  ExportRequest r;
  SetOption(r, "unit", "inch");
  SetOption(r, "height", "3");
  r.views = views;
  r.firstPhotoWidth = int32_t(firstWidth);
  r.firstPhotoHeight = int32_t(firstHeight);
  r.outputPath = output;
  r.now = kWhen;
  r.locale = QLocale::c();
  return r;
}

uint64_t FileSize(const QString& path) { return uint64_t(QFileInfo(path).size()); }

// The folder's entries other than the ones named: no temporary file may
// survive an export.
QStringList Leftovers(const QString& dir, const QStringList& expected) {
  QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& e : expected) names.removeAll(e);
  return names;
}

TEST(Export, WorkedExampleWritesTheWholeFileWithItsProgress) {
  test::TempDir dir;
  // Twelve views of 1000 x 1500; one file listed twelve times reads the same.
  const QString view = dir.path("view.tif");
  WriteViewFile(view, 1000, 1500, test::MakePixels(1000, 1500, [](uint32_t x, uint32_t y) {
                  return std::vector<uint8_t>{uint8_t(x), uint8_t(y), uint8_t(x + y), 0};
                }));
  QStringList views;
  for (int i = 0; i < 12; ++i) views << view;
  std::vector<int> progress;
  ExportInterlaced(Request(views, dir.path("out.tif"), 1000, 1500), [&](int p) { progress.push_back(p); });

  EXPECT_EQ(FileSize(dir.path("out.tif")), 334u + 1280u * 7994 * 4);
  const std::vector<int> headers(progress.begin(), progress.begin() + 13);
  EXPECT_EQ(headers, (std::vector<int>{2, 3, 5, 7, 8, 10, 12, 13, 15, 17, 18, 20, 25}));
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress[progress.size() - 2], 98);  // after the last image row
  EXPECT_EQ(progress.back(), 100);

  const std::vector<uint8_t> out = test::ReadBytes(dir.path("out.tif"));
  EXPECT_EQ(test::Le32(out, 10 + 12 + 8), 7994u);  // ImageWidth
  EXPECT_EQ(test::Le32(out, 10 + 24 + 8), 1280u);  // ImageLength
  // Image row 3 samples source row 4; column 4 samples source column 1.
  const size_t at = 334 + (size_t(3) * 7994 + 4) * 4;
  const uint8_t grey = uint8_t(std::nearbyintl(1 * 0.3L + 4 * 0.59L + 5 * 0.11L));
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + at, out.begin() + at + 4), std::vector<uint8_t>(4, grey));
  // The file ends with the 80 caption rows (639520 pixels, written in several
  // pieces), each pixel widened to v, v, v, 0.
  const std::vector<uint8_t> strip = RenderCaptionStrip(
      {7994, 80, 10, 4000000000000, QFileInfo(dir.path("out.tif")).absoluteFilePath(), kWhen, {}});
  std::vector<uint8_t> widened(strip.size() * 4);
  ExpandCaptionPixels(strip.data(), strip.size(), widened.data());
  ASSERT_EQ(out.size(), 334 + size_t(7994) * 1200 * 4 + widened.size());
  EXPECT_TRUE(std::equal(widened.begin(), widened.end(), out.end() - std::ptrdiff_t(widened.size())));
  EXPECT_EQ(Leftovers(dir.path(), {"view.tif", "out.tif"}), QStringList());
}

TEST(Export, NegativeSeriesIsInvertedBack) {
  test::TempDir dir;
  const QString view = dir.path("v.gjs");
  WriteViewFile(view, 4, 4, test::Uniform(4, 4, 200, 100, 50, 0), /*inverted=*/true);
  ExportRequest r = Request({view, view}, dir.path("out.tif"), 4, 4);
  SetOption(r, "width", "0.1");
  SetOption(r, "height", "0.1");
  r.negativeInput = true;
  ExportInterlaced(r, nullptr);
  const std::vector<uint8_t> out = test::ReadBytes(dir.path("out.tif"));
  // Stored 55, 155, 205, 255 give 255 (capped); inverted back, 0.
  EXPECT_EQ(out[334], 0);
  r.negativeInput = false;
  ExportInterlaced(r, nullptr);
  EXPECT_EQ(test::ReadBytes(dir.path("out.tif"))[334], 255);
}

TEST(Export, SmallestViewSetsTheGridAndWiderViewsUseTheirFirstColumns) {
  test::TempDir dir;
  const QString wide = dir.path("wide.tif"), tall = dir.path("tall.tif");
  // Only the first 10 columns of the wide view may reach the output.
  WriteViewFile(wide, 20, 30, test::MakePixels(20, 30, [](uint32_t x, uint32_t) {
                  return std::vector<uint8_t>{0, 0, 0, uint8_t(x < 10 ? 10 : 200)};
                }));
  WriteViewFile(tall, 10, 40, test::Uniform(10, 40, 0, 0, 0, 20));
  ExportRequest r = Request({wide, tall}, dir.path("out.tif"), 20, 30);
  SetOption(r, "width", "0.5");
  SetOption(r, "height", "0.5");
  SetOption(r, "dpi", "(Auto)");
  ExportInterlaced(r, nullptr);
  const std::vector<uint8_t> out = test::ReadBytes(dir.path("out.tif"));
  const uint32_t width = test::Le32(out, 30);
  const uint32_t rows = test::Le32(out, 42) - 3;  // 3 strip rows at 151.1 dpi / 10
  ASSERT_EQ(width, 76u);
  ASSERT_EQ(rows, 7u);
  for (size_t i = 334; i < 334 + size_t(width) * rows * 4; i += 4) ASSERT_NE(out[i], 200) << i;
  // (Auto): column i shows view i modulo 2.
  EXPECT_EQ(out[334], 10);
  EXPECT_EQ(out[334 + 4], 20);
}

TEST(Export, RefusesBadViewsBeforeCreatingTheOutput) {
  test::TempDir dir;
  const QString good = dir.path("good.tif"), cut = dir.path("cut.tif"), out = dir.path("out.tif");
  WriteViewFile(good, 8, 8, test::Uniform(8, 8, 1, 2, 3, 4));
  std::vector<uint8_t> bytes = test::ReadBytes(good);
  bytes.resize(bytes.size() - 1);
  test::WriteBytes(cut, bytes);
  test::WriteBytes(out, {'o', 'l', 'd'});

  EXPECT_EQ(ErrorOf([&] { ExportInterlaced(Request({good, dir.path("gone.tif")}, out, 8, 8), nullptr); }),
            QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(dir.path("gone.tif")));
  const QString truncated = ErrorOf([&] { ExportInterlaced(Request({good, cut}, out, 8, 8), nullptr); });
  EXPECT_TRUE(truncated.contains(cut)) << truncated.toStdString();
  EXPECT_TRUE(truncated.contains("past the end")) << truncated.toStdString();
  EXPECT_TRUE(ErrorOf([&] { ExportInterlaced(Request({}, out, 8, 8), nullptr); }).contains("no views"));
  EXPECT_TRUE(ErrorOf([&] { ExportInterlaced(Request({good, good}, good, 8, 8), nullptr); }).contains("one of the views"));

  EXPECT_EQ(test::ReadBytes(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(test::ReadBytes(good).size(), bytes.size() + 1);
  EXPECT_EQ(Leftovers(dir.path(), {"good.tif", "cut.tif", "out.tif"}), QStringList());
}

// Views that the row loop could not take are refused before the output is
// created: the missing folder of the output is never reached. One view's
// rows of 2^30 pixels (sparse) pass 4 GiB in the row set; one whose header
// claims 2^31 x 2^31 pixels and stores none is refused for that, by name.
TEST(Export, RefusesViewsTooWideOrEmptyBeforeCreatingTheOutput) {
  test::TempDir dir;
  const QString wide = dir.path("wide.tif"), empty = dir.path("empty.tif"), out = dir.path("no/such/folder/out.tif");
  std::vector<uint8_t> header = ViewFileBytes(1, 1, {1, 2, 3, 4});
  header.resize(header.size() - 4);
  const size_t widthAt = 10 + 12 + 8, heightAt = 10 + 24 + 8, rowsPerStripAt = 10 + 8 * 12 + 8;
  for (size_t at : {widthAt, rowsPerStripAt}) PutLe32(header.data() + at, 1u << 30);
  test::WriteBytes(wide, header);
  ASSERT_TRUE(QFile(wide).resize(qint64(header.size()) + (qint64(1) << 32)));
  EXPECT_EQ(ErrorOf([&] { ExportInterlaced(Request({wide}, out, 8, 8), nullptr); }),
            QStringLiteral("The views are too wide to export together"));

  for (size_t at : {widthAt, heightAt, rowsPerStripAt}) PutLe32(header.data() + at, 1u << 31);
  test::WriteBytes(empty, header);
  const QString message = ErrorOf([&] { ExportInterlaced(Request({empty}, out, 8, 8), nullptr); });
  EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot read view \"%1\": its pixel data (2147483648 x 2147483648 pixels").arg(empty)))
      << message.toStdString();
  EXPECT_TRUE(message.endsWith("runs past the end of the file (154 bytes)")) << message.toStdString();
}

// Names are bytes: a view named "lat\xe9.tif" (Latin-1, not UTF-8) is read,
// and recognised when the output is given the same name.
TEST(Export, ViewsWhoseNamesAreNotUtf8) {
  test::TempDir dir;
  const QByteArray native = NativeFileName(dir.path()) + "/lat\xe9.tif";
  const QString view = FileNameFromNative(native);
  WriteViewFile(dir.path("plain.tif"), 8, 8, test::Uniform(8, 8, 1, 2, 3, 4));
  ASSERT_EQ(::rename(NativeFileName(dir.path("plain.tif")).constData(), native.constData()), 0);
  ExportRequest r = Request({view, view}, dir.path("out.tif"), 8, 8);
  SetOption(r, "width", "0.1");
  SetOption(r, "height", "0.1");
  ExportInterlaced(r, nullptr);
  EXPECT_EQ(FileSize(dir.path("out.tif")), 334u + (40 + 80) * 424u * 4);
  r.outputPath = view;
  EXPECT_TRUE(ErrorOf([&] { ExportInterlaced(r, nullptr); }).contains("one of the views"));
}

TEST(Export, FolderThatRefusesTheFileGivesAClearError) {
  test::TempDir dir;
  const QString view = dir.path("v.tif");
  WriteViewFile(view, 8, 8, test::Uniform(8, 8, 1, 2, 3, 4));
  const QString missing = dir.path("no/such/folder/out.tif");
  EXPECT_TRUE(ErrorOf([&] { ExportInterlaced(Request({view}, missing, 8, 8), nullptr); })
                  .startsWith(QStringLiteral("Cannot create file \"%1\".").arg(missing)));
  EXPECT_TRUE(ErrorOf([&] { ExportInterlaced(Request({view}, "/proc/out.tif", 8, 8), nullptr); })
                  .startsWith("Cannot create file \"/proc/out.tif\"."));
  EXPECT_TRUE(ErrorOf([&] { ExportInterlaced(Request({view}, dir.path(), 8, 8), nullptr); })
                  .startsWith("Cannot create file"));
}

// A disk that fills up during the row loop: a small tmpfs where the test may
// mount one, otherwise a file-size limit, which fails writes the same way.
class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    mountPoint_ = dir_.path("small");
    QDir().mkpath(mountPoint_);
    mounted_ = ::mount("tmpfs", QFile::encodeName(mountPoint_).constData(), "tmpfs", 0, "size=1m") == 0;
    if (!mounted_) {
      ::signal(SIGXFSZ, SIG_IGN);
      ::getrlimit(RLIMIT_FSIZE, &saved_);
      rlimit small = saved_;
      small.rlim_cur = 1 << 20;
      ::setrlimit(RLIMIT_FSIZE, &small);
    }
  }
  void TearDown() override {
    if (mounted_) ::umount(QFile::encodeName(mountPoint_).constData());
    else ::setrlimit(RLIMIT_FSIZE, &saved_);
  }

  test::TempDir dir_;
  QString mountPoint_;
  bool mounted_ = false;
  rlimit saved_{};
};

TEST_F(FullDisk, LeavesTheEarlierFileAndNoPartialFile) {
  const QString view = dir_.path("v.tif");
  WriteViewFile(view, 100, 150, test::Uniform(100, 150, 1, 2, 3, 4));
  const QString out = mountPoint_ + "/out.tif";
  test::WriteBytes(out, {'o', 'l', 'd'});
  const QString message = ErrorOf([&] { ExportInterlaced(Request({view, view}, out, 100, 150), nullptr); });
  EXPECT_TRUE(message.startsWith(QStringLiteral("Stream write error: \"%1\"").arg(out))) << message.toStdString();
  EXPECT_TRUE(message.contains(mounted_ ? "No space left on device" : "File too large")) << message.toStdString();
  EXPECT_EQ(test::ReadBytes(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(Leftovers(mountPoint_, {"out.tif"}), QStringList());
}

TEST(Export, ReplacesAnEarlierFileOnlyWhenComplete) {
  test::TempDir dir;
  const QString view = dir.path("v.tif"), out = dir.path("out.tif");
  WriteViewFile(view, 8, 8, test::Uniform(8, 8, 1, 2, 3, 4));
  test::WriteBytes(out, {'o', 'l', 'd'});
  ExportRequest r = Request({view}, out, 8, 8);
  SetOption(r, "width", "0.1");
  SetOption(r, "height", "0.1");
  ExportInterlaced(r, nullptr);
  const std::vector<uint8_t> first = test::ReadBytes(out);
  EXPECT_EQ(first.size(), 334u + (40 + 80) * 424u * 4);
  ExportInterlaced(r, nullptr);
  EXPECT_EQ(test::ReadBytes(out), first);  // same inputs, same bytes
}

}  // namespace
}  // namespace plivora

namespace plivora {
namespace {

// The caption strip is drawn beside the image rows, after the output is
// created: a strip that can't be drawn must still stop the export with its
// message and leave nothing behind. Run in a child process whose address
// space is capped 1 GB above what it uses, so that the 7.4 GB full-resolution
// strip of a 42949 dpi, compress 255 job can't be reserved.
TEST(Export, ACaptionStripThatCannotBeDrawnLeavesNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space limit does not mix with the sanitizer's shadow memory";
#endif
  test::TempDir dir;
  WriteViewFile(dir.path("v.tif"), 4, 4, test::Uniform(4, 4, 1, 2, 3, 4));
  const pid_t child = fork();
  if (child == 0) {
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    const rlim_t cap = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(1) << 30);
    const rlimit limit{cap, cap};
    ::setrlimit(RLIMIT_AS, &limit);
    ExportRequest r = Request({dir.path("v.tif")}, dir.path("out.tif"), 4, 4);
    SetOption(r, "dpi", "42949");
    SetOption(r, "width", "20");
    SetOption(r, "height", "0.02");
    SetOption(r, "compress", "255");
    QString message;
    try {
      ExportInterlaced(r, {});
    } catch (const Error& e) {
      message = e.message();
    } catch (...) {
      _exit(3);
    }
    const bool clean = Leftovers(dir.path(), {"v.tif"}).isEmpty();
    _exit(message.startsWith("Not enough memory for the caption strip") ? (clean ? 0 : 2) : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no caption error, 2: a file was left, 3: another exception";
}

TEST(Panels, NamesCarryTheirNumberBeforeTheExtension) {
  EXPECT_EQ(PanelFileName("/w/plate.tif", 2, 3), "/w/plate-2-of-3.tif");
  EXPECT_EQ(PanelFileName("/w/plate.tar.tif", 1, 2), "/w/plate.tar-1-of-2.tif");
  EXPECT_EQ(PanelFileName("/w.d/plate", 7, 7), "/w.d/plate-7-of-7");
  // A name that is all extension keeps it, rather than giving hidden panels.
  EXPECT_EQ(PanelFileName("/w/.tif", 1, 2), "/w/-1-of-2.tif");
}

// A CMYK plate carries, at every pixel, the inks of the view pixel the grey
// plate used: at any thread count, the grey plate is the grey of the CMYK
// plate (of its inks inverted back, for a ".gjs" series, whose grey plate
// is inverted).
TEST(ColourPlates, TheCmykPlateHoldsTheInksTheGreyPlatePicks) {
  test::TempDir dir;
  QStringList views;
  for (uint32_t v = 0; v < 4; ++v) {
    views << dir.path(QStringLiteral("v%1.tif").arg(v));
    WriteViewFile(views.back(), 31 + v, 47, test::MakePixels(31 + v, 47, [v](uint32_t x, uint32_t y) {
                    return std::vector<uint8_t>{uint8_t(x * 37 + v), uint8_t(y * 11 + x), uint8_t((x * y) ^ v), uint8_t(y * 3)};
                  }));
  }
  for (const bool negative : {false, true}) {
    for (const int threads : {1, 3}) {
      ExportRequest r = Request(views, dir.path("grey.tif"), 31, 47);
      SetOption(r, "lpi", "61.3");
      SetOption(r, "width", "0.7");
      SetOption(r, "height", "1");
      r.negativeInput = negative;
      r.threads = threads;
      ExportInterlaced(r, {});
      r.outputPath = dir.path("cmyk.tif");
      SetOption(r, "colour", "cmyk");
      ExportInterlaced(r, {});
      const std::vector<uint8_t> grey = ImageRows(dir.path("grey.tif"), 100), inks = ImageRows(dir.path("cmyk.tif"), 100);
      ASSERT_EQ(grey.size(), inks.size());
      ASSERT_FALSE(grey.empty());
      for (size_t i = 0; i < grey.size(); i += 4) {
        const uint8_t* k = &inks[i];
        const uint8_t g = negative ? uint8_t(255 - Grey(255 - k[0], 255 - k[1], 255 - k[2], 255 - k[3]))
                                   : Grey(k[0], k[1], k[2], k[3]);
        ASSERT_EQ(grey[i], g) << "pixel " << i / 4 << ", threads " << threads << (negative ? ", inverted" : "");
      }
    }
  }
}

}  // namespace
}  // namespace plivora
