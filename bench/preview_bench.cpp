// Frame building of the animated preview: 12 views of 3000 x 2000 pixels,
// each loaded whole, reduced to 400 x 267 and turned into RGB.
//
//   preview_bench write FOLDER        writes view01.tif .. view12.tif
//   preview_bench build FOLDER [RUNS] builds the frames RUNS times (3)
//
// The two steps are separate processes so that the peak resident memory the
// build reports (getrusage) is the build's own, not the writer's.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <exception>

#include "common/error.h"
#include "preview/frames.h"
#include "sample/sample_scene.h"
#include "sample/view_writer.h"

namespace {

constexpr int kViews = 12;
constexpr uint32_t kWidth = 3000, kHeight = 2000;

QStringList Paths(const QString& folder) {
  QStringList paths;
  for (int i = 1; i <= kViews; ++i) paths << QStringLiteral("%1/view%2.tif").arg(folder).arg(i, 2, 10, QChar('0'));
  return paths;
}

long ResidentKiB() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toLong() * 4 : -1;
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int Write(const QString& folder) {
  const QStringList paths = Paths(folder);
  for (int i = 0; i < kViews; ++i)
    plivora::WriteViewFile(paths[i], kWidth, kHeight, plivora::RenderSampleView(kWidth, kHeight, i, kViews));
  std::printf("wrote %d views of %u x %u in %s\n", kViews, kWidth, kHeight, qPrintable(folder));
  return 0;
}

int Build(const QString& folder, int runs) {
  const QStringList paths = Paths(folder);
  std::printf("resident before: %ld KiB\n", ResidentKiB());
  for (int run = 1; run <= runs; ++run) {
    QElapsedTimer timer;
    timer.start();
    const std::vector<QImage> frames = plivora::BuildFrames(paths, false);
    const qint64 ms = timer.elapsed();
    qsizetype held = 0;
    for (const QImage& frame : frames) held += frame.sizeInBytes();
    std::printf("run %d: %lld ms for %zu frames of %d x %d, frames hold %lld bytes, resident with frames %ld KiB\n",
                run, static_cast<long long>(ms), frames.size(), frames[0].width(), frames[0].height(),
                static_cast<long long>(held), ResidentKiB());
  }
  std::printf("peak resident: %ld KiB (one view is %u KiB)\n", PeakKiB(), kWidth * kHeight * 4 / 1024);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (std::strcmp(argv[1], "write") != 0 && std::strcmp(argv[1], "build") != 0)) {
    std::fprintf(stderr, "usage: preview_bench write FOLDER | preview_bench build FOLDER [RUNS]\n");
    return 2;
  }
  try {
    const QString folder = QString::fromLocal8Bit(argv[2]);
    if (std::strcmp(argv[1], "write") == 0) return Write(folder);
    return Build(folder, argc > 3 ? std::atoi(argv[3]) : 3);
  } catch (const plivora::Error& e) {
    std::fprintf(stderr, "preview_bench: %s\n", qPrintable(e.message()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "preview_bench: %s\n", e.what());
  }
  return 1;
}
