#include "drawing/shrunk_drawing.h"

#include <sys/mman.h>

#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "common/error.h"
#include "drawing/fill_threads.h"
#include "drawing/sparse_image.h"

namespace plivora {

namespace {

void ProbeAddressSpace(size_t bytes) {
  void* p = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED)
    Fail(QStringLiteral("Not enough memory to start drawing text: a limit on memory (ulimit -v) may be too low"));
  ::munmap(p, bytes);
}

}  // namespace

// The command-line programs so keep Qt's start (over a ms) off the way to
// their first row: it happens beside the rows, with the caption strip.
void EnsureGuiApplication() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (const QCoreApplication* app = QCoreApplication::instance()) {
      if (!qobject_cast<const QGuiApplication*>(app)) Fail(QStringLiteral("Cannot draw text: the program started Qt without its graphical part (a fault in this program)"));
      return;
    }
    // Qt's start and its fonts (fontconfig reading its files) take some
    // 35 MB, and fontconfig does not survive running out of memory half-way:
    // a process that can't find the room for them is refused here instead.
    ProbeAddressSpace(size_t(64) << 20);
    static int argc = 3;
    static char name[] = "plivora", platform[] = "-platform", offscreen[] = "offscreen";
    static char* argv[] = {name, platform, offscreen, nullptr};
    new QGuiApplication(argc, argv);  // ends with the process
  });
}

// The full-resolution drawing, only reserved address space, drawn band by
// band: each band is clipped to its kept rows, so the rows between them are
// never filled, nor backed by memory. The painter keeps the coordinates of
// the whole image, so every band gets exactly the pixels of a one-piece
// drawing (a shifted painter would round outline points above the band
// otherwise).
struct ShrunkRows::Bands {
  Bands(const char* what, int width, int rows, int compress, DrawFn draw, int maxBandRows)
      : what(what), width(width), rows(rows), compress(compress), draw(std::move(draw)) {
    this->maxBandRows = maxBandRows != 0 ? maxBandRows : int(std::clamp<int64_t>((int64_t(8) << 20) / std::max(width, 1), 1, 256));
    if (compress < 1 || this->maxBandRows < 1)
      Fail(QStringLiteral("Cannot draw the %1: compress %2 or a band of %3 rows is out of range (a fault in this program)")
               .arg(what).arg(compress).arg(this->maxBandRows));
    const int64_t tallRows = int64_t(rows) * compress;
    if (tallRows > INT32_MAX) Fail(QStringLiteral("Not enough memory for the %1 (%2 x %3 pixels)").arg(what).arg(width).arg(tallRows));
    if (rows == 0 || width == 0) return;
    EnsureGuiApplication();  // fonts
    EnsureFillThreads();
    tall = std::make_unique<SparseGrayImage>(what, width, int(tallRows));
  }

  // Draws the band that starts at row `first`; its rows are [first, last].
  void DrawFrom(int start) {
    first = start;
    last = int(std::min<int64_t>(rows - 1, first + (maxBandRows - 1) / compress));
    const int top = first * compress + compress / 2, height = (last - first) * compress + 1;
    {
      QRegion keptRows;
      for (int r = first; r <= last; ++r) keptRows += QRect(0, top + (r - first) * compress, width, 1);
      QPainter painter(&tall->image());
      painter.setClipRegion(keptRows);
      draw(painter);
    }
    band.resize(size_t(last - first + 1) * size_t(width));
    for (int r = first; r <= last; ++r)
      std::memcpy(band.data() + size_t(r - first) * size_t(width), tall->image().constScanLine(top + (r - first) * compress),
                  size_t(width));
    tall->ReleaseRows(top, height);
  }

  const char* what;
  int width, rows, compress, maxBandRows = 0;
  DrawFn draw;
  std::unique_ptr<SparseGrayImage> tall;
  std::vector<uint8_t> band;
  int first = 0, last = -1;  // the rows `band` holds
};

ShrunkRows::ShrunkRows(const char* what, int width, int rows, int compress, DrawFn draw, int maxBandRows)
    : bands_(std::make_unique<Bands>(what, width, rows, compress, std::move(draw), maxBandRows)) {}

ShrunkRows::~ShrunkRows() = default;

const uint8_t* ShrunkRows::Row(int r) {
  while (r > bands_->last) bands_->DrawFrom(bands_->last + 1);
  return bands_->band.data() + size_t(r - bands_->first) * size_t(bands_->width);
}

void DrawShrunk(const char* what, int width, int rows, int compress, const DrawFn& draw, const LevelRowsFn& sink,
                int maxBandRows) {
  ShrunkRows::Bands bands(what, width, rows, compress, draw, maxBandRows);
  if (rows == 0 || width == 0) return;
  while (bands.last + 1 < rows) {
    bands.DrawFrom(bands.last + 1);
    sink(bands.band.data(), bands.first, bands.last - bands.first + 1);
  }
}

std::vector<uint8_t> RenderShrunk(const char* what, int width, int rows, int compress, const DrawFn& draw,
                                  int maxBandRows) {
  std::vector<uint8_t> kept(size_t(width) * size_t(rows), 0);
  DrawShrunk(
      what, width, rows, compress, draw,
      [&](const uint8_t* levels, int first, int count) {
        std::memcpy(kept.data() + size_t(first) * size_t(width), levels, size_t(count) * size_t(width));
      },
      maxBandRows);
  return kept;
}

}  // namespace plivora
