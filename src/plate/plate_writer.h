// The file an export writes, in the form the operator chose: a header, then
// rows in order, top to bottom. Every form has the same image: the same
// size, CMYK (or RGB) at 8 bits, the same resolutions, texts and profile.
//
// - The plain form is the classic file: the 334-byte header and one
//   uncompressed strip (tiff_header.h).
// - Every other form (compressed, BigTIFF) is written by libtiff, in strips
//   of about a megabyte that the export's threads encode side by side
//   (StripEncoders) and libtiff stores in order.
//
// Nothing of the file has its name until OutputFile's commit.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "plate/output_form.h"

namespace plivora {

class OutputFile;
class StripEncoders;

struct PlateLayout {
  int64_t width = 0;  // pixels per row
  int64_t rows = 0;   // every row of the file: the image, then the caption strip
  int64_t xResolutionE9 = 0, yResolutionE9 = 0;
  QByteArray dateTime;  // the 20 bytes of TiffDateTime
  // Raw bytes a strip of the libtiff forms aims at (whole rows, at least
  // one): large enough that per-strip costs vanish, small enough that every
  // plate of an export in panels can hold one being filled.
  uint64_t stripBytes = uint64_t(1) << 20;
  uint16_t samples = 4;   // 4: CMYK (Photometric 5); 3: RGB (Photometric 2)
  QByteArray iccProfile;  // carried in tag 34675 when not empty
};

// The last byte a classic TIFF can reach: its offsets and byte counts are
// 32-bit.
constexpr uint64_t kClassicTiffLimit = 0xFFFFFFFFu;

// "5.5 GB": bytes in decimal gigabytes, one decimal.
QString GigabyteText(uint64_t bytes);

// Refuses, before anything is written, a plain file of width x rows pixels
// of `samples` bytes whose pixel data passes 4 GiB: "WHAT of W x H pixels at
// 5.5 GB does not fit a TIFF file (at most 4 GiB); ADVICE". WHAT: "An
// output", "A panel". The plain RGB form holds at most 65535 pixels either
// way (its header's sizes are SHORT), which is refused alike.
void CheckFitsPlainTiff(const QString& what, int64_t width, int64_t rows, const QString& advice, int samples = 4);

// The bytes of the file CreatePlateWriter writes for `layout` in `form`,
// where the form fixes them (the plain file: its header and every pixel);
// nothing for the forms libtiff lays out.
std::optional<uint64_t> FileBytes(const PlateLayout& layout, const OutputForm& form);

class PlateWriter {
 public:
  virtual ~PlateWriter() = default;
  // Appends `count` rows of the plate's width, four bytes a pixel, each
  // `stride` bytes after the one before (a three-sample plate stores the
  // first three bytes of each pixel); called for rows in order, one call at
  // a time.
  virtual void Append(const uint8_t* rows, size_t count, size_t stride) = 0;
  // After the last row: stores what is still held (the last strips, the
  // directory). The file is then ready for OutputFile's commit.
  virtual void Finish() = 0;
  virtual OutputFile& file() = 0;
};

// `plate` with every row mirrored left to right on its way in, `width`
// pixels a row: for printing on the back of a clear lens.
std::unique_ptr<PlateWriter> MirroredPlate(std::unique_ptr<PlateWriter> plate, int64_t width);

// One file of a print cut into panels: its plate, and where it lies.
struct PanelPlate {
  std::unique_ptr<PlateWriter> plate;
  int64_t first = 0, width = 0;    // its columns of the print's rows
  std::vector<uint8_t> caption;    // its caption strip's levels (level_rows.h), appended by Finish
  bool rgb = false;                // the caption's form on an RGB plate
};

// The print's rows, each cut into the panels' columns; Finish appends each
// panel's caption strip, then finishes its plate. file() is the first
// panel's.
std::unique_ptr<PlateWriter> PanelsOf(std::vector<PanelPlate>& panels);

// Creates the file (unnamed until committed) and writes what comes before
// the rows. `encoders` encodes the strips of compressed forms; it may be
// shared by several plates written side by side. `advice` ends the refusal
// of a compressed file that grows past 4 GiB.
// `classicLimit` lets the tests reach the refusal without writing 4 GiB.
std::unique_ptr<PlateWriter> CreatePlateWriter(const QString& path, const PlateLayout& layout, const OutputForm& form,
                                               StripEncoders& encoders, const QString& advice,
                                               uint64_t classicLimit = kClassicTiffLimit);

}  // namespace plivora
