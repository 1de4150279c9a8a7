#include "output/shrunk_drawing.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "common/error.h"
#include "output/sparse_image.h"

namespace plivora {

// The command-line programs so keep Qt's start (over a ms) off the way to
// their first row: it happens beside the rows, with the caption strip.
void EnsureGuiApplication() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (const QCoreApplication* app = QCoreApplication::instance()) {
      if (!qobject_cast<const QGuiApplication*>(app)) Fail(QStringLiteral("Drawing text needs a QGuiApplication"));
      return;
    }
    static int argc = 3;
    static char name[] = "plivora", platform[] = "-platform", offscreen[] = "offscreen";
    static char* argv[] = {name, platform, offscreen, nullptr};
    new QGuiApplication(argc, argv);  // ends with the process
  });
}

std::vector<uint8_t> RenderShrunk(const char* what, int width, int rows, int compress, const DrawFn& draw,
                                  int maxBandRows) {
  if (maxBandRows == 0) maxBandRows = int(std::clamp<int64_t>((int64_t(8) << 20) / std::max(width, 1), 1, 256));
  if (compress < 1 || maxBandRows < 1)
    Fail(QStringLiteral("The %1: compress %2 and band of %3 rows out of range").arg(what).arg(compress).arg(maxBandRows));
  std::vector<uint8_t> kept(size_t(width) * size_t(rows), 0);
  if (rows == 0 || width == 0) return kept;
  const int64_t tallRows = int64_t(rows) * compress;
  if (tallRows > INT32_MAX)
    Fail(QStringLiteral("Not enough memory for the %1 (%2 x %3 pixels)").arg(what).arg(width).arg(tallRows));

  // Each band is clipped to its kept rows: the rows between them are never
  // filled, nor backed by memory. The painter keeps the coordinates of the
  // whole image, so every band gets exactly the pixels of a one-piece
  // drawing (a shifted painter would round outline points above the band
  // otherwise).
  EnsureGuiApplication();  // fonts
  SparseGrayImage tall(what, width, int(tallRows));
  for (int first = 0; first < rows;) {
    const int last = int(std::min<int64_t>(rows - 1, first + (maxBandRows - 1) / compress));
    const int top = first * compress + compress / 2, height = (last - first) * compress + 1;
    {
      QRegion keptRows;
      for (int r = first; r <= last; ++r) keptRows += QRect(0, top + (r - first) * compress, width, 1);
      QPainter painter(&tall.image());
      painter.setClipRegion(keptRows);
      draw(painter);
    }
    for (int r = first; r <= last; ++r)
      std::memcpy(kept.data() + size_t(r) * size_t(width), tall.image().constScanLine(top + (r - first) * compress),
                  size_t(width));
    tall.ReleaseRows(top, height);
    first = last + 1;
  }
  return kept;
}

}  // namespace plivora
