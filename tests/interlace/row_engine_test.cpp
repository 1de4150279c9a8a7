#include "interlace/row_engine.h"

#include <QDir>
#include <QImage>
#include <sys/resource.h>

#include <cerrno>
#include <random>

#include "colour/colour_transform.h"
#include "colour/icc_profile.h"
#include "common/output_file.h"
#include "common/task_pool.h"
#include "interlace/pixel_rule.h"
#include "interlace/row_composer.h"
#include "jobs/export.h"
#include "sample/view_writer.h"
#include "series/source_image.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

// Views whose every pixel differs, at an LPI that gives fractional columns,
// into an output taller than the views (source rows repeat) and wide enough
// for several column ranges: every way the threads could disagree.
ExportRequest Request(const QStringList& views, const QString& output, int threads) {
  ExportRequest r;
  SetOption(r, "unit", "inch");
  SetOption(r, "dpi", "1200");
  SetOption(r, "lpi", "61.3");
  SetOption(r, "width", "1.7");
  SetOption(r, "height", "2.1");
  SetOption(r, "compress", "3");
  r.views = views;
  r.firstPhotoWidth = 37;
  r.firstPhotoHeight = 251;
  r.outputPath = output;
  r.now = QDateTime(QDate(2026, 12, 8), QTime(5, 6, 7));
  r.locale = QLocale::c();
  r.threads = threads;
  return r;
}

TEST(RowEngine, EveryThreadCountWritesTheSameBytes) {
  test::TempDir dir;
  QStringList views;
  for (uint32_t v = 0; v < 5; ++v) {
    views << dir.path(QStringLiteral("v%1.tif").arg(v));
    WriteViewFile(views.back(), 37 + v, 251, test::MakePixels(37 + v, 251, [v](uint32_t x, uint32_t y) {
                    return std::vector<uint8_t>{uint8_t(x * 7 + v), uint8_t(y * 3), uint8_t(x ^ y), uint8_t((x + y + v) % 61)};
                  }));
  }
  // One name for all, since the caption strip prints it.
  const QString out = dir.path("out.tif");
  ExportInterlaced(Request(views, out, 1), {});
  const std::vector<uint8_t> one = test::ReadBytes(out);
  ASSERT_GT(one.size(), 334u + 2040u * 4 * 800);
  for (int threads : {2, 3, 8}) {
    ExportInterlaced(Request(views, out, threads), {});
    EXPECT_TRUE(test::ReadBytes(out) == one) << threads << " threads";
  }
}

// A photograph: RGB whose neighbours differ (noise over a gradient), saved
// as its extension says (PNG, or JPEG at quality 90).
void SavePhoto(const QString& path, int width, int height, uint32_t seed) {
  std::mt19937 noise(seed);
  QImage photo(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      photo.setPixel(x, y, qRgb(int(x * 4 + noise() % 24), int(y * 3 % 256), int(noise() % 256)));
  ASSERT_TRUE(photo.save(path, nullptr, 90)) << path.toStdString();
}

// The view's rows as its reader gives them, converted from sRGB into the
// press's default profile one row at a time, stored as a CMYK view.
void ConvertBeforehand(const QString& view, const QString& out) {
  const auto reader = OpenSource(view);
  const uint32_t w = reader->image().Width, h = reader->image().Height;
  const ColourTransform toPress(IccProfile::Srgb(),
                                IccProfile::FromFile(kDefaultCmykProfile, ColourModel::kCmyk, QStringLiteral("press")),
                                Intent::kRelative);
  std::vector<uint8_t> pixels(size_t(w) * h * 4);
  for (uint32_t y = 0; y < h; ++y) {
    reader->ReadRow(y, pixels.data() + size_t(y) * w * 4);
    toPress.Convert(pixels.data() + size_t(y) * w * 4, pixels.data() + size_t(y) * w * 4, w);
  }
  WriteViewFile(out, w, h, pixels);
}

// Photographs are decoded and converted ahead of the composers, on worker
// threads: at every thread count, the cmyk plate of PNG and JPEG views is
// byte for byte the plate of their rows converted beforehand and stored as
// CMYK views, which are read as asked. The views are wider than tall and of
// several widths (the columns past the narrowest are never converted), and
// one file is listed twice.
TEST(RowEngine, PhotographsGiveThePlateOfTheirRowsConvertedBeforehand) {
  test::TempDir dir;
  QStringList photos, converted;
  for (int v = 0; v < 5; ++v) {
    photos << dir.path(QStringLiteral("p%1.%2").arg(v).arg(v % 2 ? "jpg" : "png"));
    SavePhoto(photos.back(), 53 + 3 * v, 41, uint32_t(v));
    converted << dir.path(QStringLiteral("c%1.tif").arg(v));
    ConvertBeforehand(photos.back(), converted.back());
  }
  photos << photos[1];
  converted << converted[1];
  const QString out = dir.path("out.tif");
  for (const char* lenses : {"vertical", "horizontal"}) {
    ExportRequest r = Request(converted, out, 1);
    r.firstPhotoWidth = 53;
    r.firstPhotoHeight = 41;
    SetOption(r, "colour", "cmyk");
    SetOption(r, "lenses", lenses);
    ExportInterlaced(r, {});
    const std::vector<uint8_t> want = test::ReadBytes(out);
    r.views = photos;
    for (int threads : {1, 2, 3, 8}) {
      r.threads = threads;
      ExportInterlaced(r, {});
      EXPECT_TRUE(test::ReadBytes(out) == want) << lenses << " lenses, " << threads << " threads";
    }
  }
}

// A view that breaks half-way stops the export at the row it breaks on,
// with its reader's own message, whichever thread decoded it, and nothing is
// left; the views being read ahead beside it are let go.
TEST(RowEngine, AViewThatBreaksHalfWayStopsTheExportWithItsReadersMessage) {
  for (const char* kind : {"png", "jpg"}) {
    test::TempDir dir;
    QStringList views;
    for (int v = 0; v < 4; ++v) {
      views << dir.path(QStringLiteral("v%1.%2").arg(v).arg(kind));
      SavePhoto(views.back(), 37, 251, uint32_t(v));
    }
    std::vector<uint8_t> bytes = test::ReadBytes(views[2]);
    bytes.resize(bytes.size() * 2 / 3);
    test::WriteBytes(views[2], bytes);
    // Every row is used at compress 1, so the rows read as asked fail where
    // the export does.
    const QString expected = ErrorOf([&] {
      const auto reader = OpenSource(views[2]);
      std::vector<uint8_t> row(37 * 4);
      for (uint32_t y = 0; y < 251; ++y) reader->ReadRow(y, row.data());
    });
    ASSERT_TRUE(expected.contains(QStringLiteral("cannot decode row"))) << expected.toStdString();
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    for (int threads : {1, 2, 8}) {
      ExportRequest r = Request(views, dir.path("out.tif"), threads);
      SetOption(r, "compress", "1");
      SetOption(r, "colour", "cmyk");
      EXPECT_EQ(ErrorOf([&] { ExportInterlaced(r, {}); }), expected) << kind << ", " << threads << " threads";
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before) << kind << ", " << threads << " threads";
    }
  }
}

// A wide print in several batches and column ranges, with fractional
// columns whose running sums carry from row to row: every thread count gives
// the row loop as written, a row at a time and a column at a time.
TEST(RowEngine, WidePrintsEqualTheRowLoopAsWritten) {
  ExportGeometry g;
  g.outputWidth = 9000;
  g.outputRows = 100;  // four batches
  g.minViewWidth = 200;
  g.minViewHeight = 70;
  g.columnStepE9 = 22222222;   // 9000 columns over 200
  g.rowStepE9 = 700000000;     // source rows repeat
  const std::vector<uint32_t> viewWidths{200, 200, 203};
  std::mt19937 random(77);
  ColumnViewMap map{std::vector<int32_t>(9001), std::vector<int32_t>(9000)};
  for (auto& v : map.viewIndex) v = int32_t(random() % 3);
  for (auto& f : map.viewFraction) f = int32_t(random() % 10001);
  // Source row q of view v, pixel x: inks from a hash, a few exact ties.
  const auto ink = [](uint32_t q, size_t v, uint32_t x, int k) { return uint8_t((q * 131 + v * 71 + x * 29 + k * 53) * 2654435761u >> 24); };
  for (unsigned threads : {1u, 3u}) {
    RowComposer composer(g, map, viewWidths, GreyRule(false));
    std::vector<uint8_t> file;
    const auto read = [&](uint32_t q, uint8_t* set) {
      for (size_t v = 0; v < viewWidths.size(); ++v)
        for (uint32_t x = 0; x < viewWidths[v]; ++x)
          for (int k = 0; k < 4; ++k) set[composer.ViewOffset(v) + 4 * x + size_t(k)] = ink(q, v, x, k);
    };
    const auto sink = [&](const uint8_t* rows, size_t count, size_t stride) {
      for (size_t j = 0; j < count; ++j) file.insert(file.end(), rows + j * stride, rows + j * stride + 4 * 9000);
    };
    RowEngine(threads).WriteRows(read, composer, sink, {0, 9000}, {});
    ASSERT_EQ(file.size(), size_t(4) * 9000 * 100);
    std::vector<int32_t> sums(9000, 0);
    for (int64_t r = 0; r < 100; ++r)
      for (size_t i = 0; i < 9000; ++i) {
        sums[i] += map.viewFraction[i];
        const bool next = sums[i] > 9999;
        if (next) sums[i] -= 10000;
        const size_t v = size_t(map.viewIndex[i + (next ? 1 : 0)]);
        const uint32_t q = g.SourceRow(r), x = g.SourceColumn(int64_t(i));
        const uint8_t grey = GreyExtended(ink(q, v, x, 0), ink(q, v, x, 1), ink(q, v, x, 2), ink(q, v, x, 3));
        ASSERT_EQ(file[size_t(r * 9000) * 4 + 4 * i], grey) << threads << " threads, row " << r << ", column " << i;
      }
  }
}

// An error on the reader thread, in the middle of the rows, reaches the
// caller with its message, whatever the thread count, and leaves nothing.
TEST(RowEngine, AReadErrorStopsTheWorkWithItsMessage) {
  ExportTexts texts;
  texts.inch = true;
  texts.height = "1";
  const ExportGeometry g = ComputeGeometry(ParseParameters(texts, 2), 10, 400);
  const ColumnViewMap map = BuildColumnViewMap(g, 2);
  for (unsigned threads : {1u, 2u, 4u}) {
    test::TempDir dir;
    RowComposer composer(g, map, {10, 10}, GreyRule(false));
    RowEngine engine(threads);
    std::vector<int64_t> done;
    const QString message = ErrorOf([&] {
      OutputFile out(dir.path("x.tif"));
      engine.WriteRows(
          [](uint32_t row, uint8_t*) {
            if (row == 200) Fail(QStringLiteral("Cannot read view \"v.tif\": its pixel data ends before row 200"));
          },
          composer, [&](const uint8_t* rows, size_t count, size_t stride) { out.Write(rows, count * stride); },
          {0, size_t(g.outputWidth)}, [&](int64_t rows) { done.push_back(rows); });
    });
    EXPECT_EQ(message, "Cannot read view \"v.tif\": its pixel data ends before row 200") << threads;
    EXPECT_TRUE(done.empty() || done.back() < g.outputRows);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << threads;
  }
}

TEST(RowEngine, ThreadCountComesFromTheRequestTheEnvironmentOrTheHardware) {
  EXPECT_EQ(ComposeThreads(3), 3u);
  EXPECT_EQ(ComposeThreads(1000), 256u);
  qputenv("PLIVORA_THREADS", "5");
  EXPECT_EQ(ComposeThreads(0), 5u);
  EXPECT_EQ(WorkerThreads(0), 5u);
  EXPECT_EQ(ComposeThreads(2), 2u);
  qputenv("PLIVORA_THREADS", "none");
  EXPECT_GE(ComposeThreads(0), 1u);
  qunsetenv("PLIVORA_THREADS");
  // By default a core is left to the reader and writer; other work takes all.
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_EQ(ComposeThreads(0), std::max(1u, hardware - 1));
  EXPECT_EQ(WorkerThreads(0), hardware);
  EXPECT_EQ(WorkerThreads(4), 4u);
}

// The caption strip's thread yields the cores to the rows; nothing else of
// the process, the caller's thread least of all, is slowed with it.
TEST(RowEngine, OnlyTheTaskBesideTheRowsRunsAtTheLowestPriority) {
  errno = 0;
  const int before = ::getpriority(PRIO_PROCESS, 0);
  ASSERT_EQ(errno, 0);
  if (before == 19) GTEST_SKIP() << "the tests already run at the lowest priority";
  RowEngine engine(2);
  int beside = 0;
  engine.StartBeside([&] { beside = ::getpriority(PRIO_PROCESS, 0); });
  engine.WaitBeside();
  EXPECT_EQ(beside, 19);
  EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), before);
  int composer = 0;
  TaskPool pool(2);
  pool.Run([&](unsigned i) {
    if (i == 1) composer = ::getpriority(PRIO_PROCESS, 0);
  });
  EXPECT_EQ(composer, before);
}

}  // namespace
}  // namespace plivora
