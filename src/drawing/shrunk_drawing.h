// Drawings made at the full output resolution and squeezed vertically by the
// compress factor like the image rows, so that their text prints
// undistorted: the caption strip, and the pitch sheet's header and labels.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace plivora {

// Makes sure the process has the QGuiApplication text needs: a program with
// a window has one; one without gets it here the first time, on the
// offscreen platform (no display), on the calling thread, for the rest of
// the process. Raises "Drawing text needs a QGuiApplication" when the
// process has a QCoreApplication only.
void EnsureGuiApplication();

// Draws on a painter over the full-resolution image (rows * compress rows,
// background 0). It may be called several times, each with a different clip:
// it must draw the same thing every time.
using DrawFn = std::function<void(QPainter&)>;

// Takes `count` kept rows of `width` bytes each, rows [first, first + count)
// of the result, in order; the bytes are valid for the call only.
using LevelRowsFn = std::function<void(const uint8_t* levels, int first, int count)>;

// `rows` rows of `width` bytes, top row first: 0 for background, 255 for
// what is drawn in white. Row r is row r * compress + compress / 2 of the
// full-resolution drawing (the middle one of each group). That image is
// only reserved address space: it is drawn in bands of at most
// `maxBandRows` rows (0: about 8 MB and 256 rows at the most), each clipped
// to its kept rows, and each band's kept rows go to `sink` as soon as they
// are drawn, so memory is one band. Raises "Not enough memory for the WHAT
// (W x H pixels)" when the full-resolution image can't be addressed.
// Creates a QGuiApplication on the offscreen platform when the process has
// none.
void DrawShrunk(const char* what, int width, int rows, int compress, const DrawFn& draw, const LevelRowsFn& sink,
                int maxBandRows = 0);

// The same rows asked for one at a time, top to bottom, drawn a band at a
// time as they are reached (the same bands DrawShrunk draws, so the same
// bytes): for a reader that pulls rows rather than takes them.
class ShrunkRows {
 public:
  ShrunkRows(const char* what, int width, int rows, int compress, DrawFn draw, int maxBandRows = 0);
  ~ShrunkRows();
  ShrunkRows(const ShrunkRows&) = delete;
  ShrunkRows& operator=(const ShrunkRows&) = delete;
  // Row `r` (never before the row asked for last): `width` bytes, valid
  // until the next call.
  const uint8_t* Row(int r);

  struct Bands;  // the drawing and its band, DrawShrunk's too

 private:
  std::unique_ptr<Bands> bands_;
};

// The same rows held together: memory is the result plus one band.
std::vector<uint8_t> RenderShrunk(const char* what, int width, int rows, int compress, const DrawFn& draw,
                                  int maxBandRows = 0);

}  // namespace plivora
