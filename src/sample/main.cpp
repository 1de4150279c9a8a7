// plivora-sample-views: writes a sample series of views to try an export.
//
//   plivora-sample-views [--views N] [--size WxH] [--gjs] DIR
//
// Writes DIR/view01.tif .. DIR/viewNN.tif (or .gjs, samples inverted).
#include <QDir>
#include <QString>
#include <cstdio>
#include <cstring>

#include "common/error.h"
#include "sample/sample_scene.h"
#include "sample/view_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: plivora-sample-views [--views N] [--size WxH] [--gjs] DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 8;
  unsigned width = 1000, height = 1500;
  bool gjs = false;
  const char* dir = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--views") && i + 1 < argc) {
      count = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%ux%u", &width, &height) != 2) return Usage();
    } else if (!std::strcmp(argv[i], "--gjs")) {
      gjs = true;
    } else if (argv[i][0] == '-' || dir) {
      return Usage();
    } else {
      dir = argv[i];
    }
  }
  if (!dir || count < 1 || count > 255 || width < 1 || height < 1 || width > 20000 || height > 20000) return Usage();
  try {
    const QString folder = QString::fromLocal8Bit(dir);
    if (!QDir().mkpath(folder)) plivora::Fail(QStringLiteral("Cannot create folder \"%1\"").arg(folder));
    for (int v = 0; v < count; ++v) {
      const QString path = QStringLiteral("%1/view%2.%3").arg(folder).arg(v + 1, 2, 10, QChar('0')).arg(gjs ? "gjs" : "tif");
      plivora::WriteViewFile(path, width, height, plivora::RenderSampleView(width, height, v, count), gjs);
      std::printf("%s\n", qPrintable(path));
    }
  } catch (const plivora::Error& e) {
    std::fprintf(stderr, "plivora-sample-views: %s\n", e.what());
    return 1;
  }
  return 0;
}
