// The reader of view files: the only code that opens a view.
//
// A view is a TIFF (CMYK, RGB, greyscale, palette colour or Lab), a PNG or a
// JPEG. Every TIFF's directory is read and checked by libtiff
// (tiff_source.h); the pixels of CMYK files in the strip layout
// (little-endian, directory at offset 8, one uncompressed strip, 8-bit
// samples C, M, Y, K interleaved pixel by pixel) are then read directly,
// every other TIFF's through libtiff. PNG goes through libpng and JPEG
// through libjpeg. A view whose file says it is to be shown turned or
// flipped (TIFF Orientation, EXIF orientation of a JPEG or PNG) comes out
// upright (oriented_reader.h). ".gjs" files are CMYK TIFF
// with inverted samples; the reader never inverts rows (the export does),
// only LoadSourceBitmap does on request. A file that is not a view is
// refused with a message naming the file and the reason, before any pixel
// is handed out.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>

#include "colour/colour_model.h"

namespace plivora {

// One validated view: a SourceImage filled by ReadSourceHeader describes a
// file whose pixel data lies wholly inside it.
struct SourceImage {
  QString Path;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t DataOffset = 0;  // file offset of the top pixel row
  // What its rows hold (colour_model.h), and the ICC profile it embeds, if
  // any, as stored: unchecked until a conversion needs it.
  ColourModel Model = ColourModel::kCmyk;
  QByteArray Profile;
  // How the rows as stored are to be shown, numbered as TIFF and EXIF
  // number it: 1 upright, 2 mirrored, 3 turned half round, 4 flipped, 5 to 8
  // a quarter turn (with or without a mirror). Readers of a format report
  // it; OpenSource turns the view upright, so a reader it hands out says 1.
  uint16_t Orientation = 1;
};

// Reads and validates the header of the view at `path` into `image`, as
// the reader hands it out (upright); decodes no pixel.
void ReadSourceHeader(const QString& path, SourceImage& image);

// A view opened for the length of one operation. Rows are read top to bottom:
// each ReadRow asks for a row at or below the one asked for before (asking
// for the same row again is allowed). The file is closed when the reader is
// destroyed, on every path.
class SourceReader {
 public:
  virtual ~SourceReader() = default;
  const SourceImage& image() const { return image_; }
  // Copies row `row` (0 = top, below Height) into dest: Width * 4 bytes,
  // four a pixel in the view's own model: C, M, Y, K exactly as stored; R,
  // G, B, 0; or G, G, G, 0. 16-bit samples come reduced to 8, transparent
  // pixels laid over white paper.
  virtual void ReadRow(uint32_t row, uint8_t* dest) = 0;
  // Decodes what comes before the first row (the first row itself; the
  // whole of an interlaced or progressive picture), so that a file broken
  // there is refused before an export writes anything. OpenSource calls it
  // unless told not to; ReadRow calls it when it has not run. Raises
  // `Cannot read view "PATH": REASON`.
  virtual void Start() {}
  // True when a row costs little more than its bytes: read straight from
  // the file, or copied from a picture decoded whole when the reader
  // Started. Reading such rows ahead on another thread gains nothing; rows
  // that are decoded or converted as they are read are worth it.
  virtual bool ReadsDirectly() const { return false; }
  // Only columns [0, columns) of the rows handed out are looked at from now
  // on: a reader that converts leaves the others 0.
  virtual void UseColumns(uint32_t columns) { (void)columns; }
  // True when the view carries an alpha (PNG with alpha or a palette's
  // transparency, TIFF with an alpha sample) that ReadAlpha hands out.
  virtual bool HasAlpha() const { return false; }
  // The alpha of the row ReadRow handed out last, Width bytes (0
  // transparent .. 255 opaque). The row's colours came laid over white
  // paper by that alpha. A view without alpha is opaque: 255 throughout.
  virtual void ReadAlpha(uint8_t* dest) const;

 protected:
  SourceImage image_;
};

// The memory the views of one operation may hold for decoding at once: the
// strip, tile or row of tiles each view keeps decoded, and the buffer it is
// decoded into. Views in the strip layout take none.
class DecodeBudget {
 public:
  static constexpr uint64_t kDefaultBytes = uint64_t(1) << 30;
  explicit DecodeBudget(uint64_t bytes = kDefaultBytes) : limit_(bytes) {}
  // Takes `bytes` for the view being opened; raises Refusal saying what it
  // needs and what the views before it hold when that is more than is left.
  // `how` says why it needs so much ("it is interlaced (Adam7) and is
  // decoded whole, in %1"); by default "decoding it takes %1 at a time".
  void Claim(uint64_t bytes, const QString& how = {});

 private:
  uint64_t limit_;
  uint64_t used_ = 0;
};

// Opens the view at `path`, validates its header and Starts it.
std::unique_ptr<SourceReader> OpenSource(const QString& path);
// The same for a file already open (or held in memory). Decoding buffers are
// claimed from `budget`, or from a budget of the view's own when null. With
// `start` false nothing is decoded yet: a series claims the buffers of all
// its views from their headers first, then Starts them.
class SourceFile;
std::unique_ptr<SourceReader> OpenSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget = nullptr,
                                         bool start = true);

// Reads one row of a view described by ReadSourceHeader: opens the file,
// reads image.Width * 4 bytes into dest, closes it.
void ReadSourceRow(const SourceImage& image, uint32_t row, uint8_t* dest);

// Loads the whole view into `bitmap`, which must have a 32-bit format; it is
// resized to the view. The four bytes ReadRow gives for a pixel land in the
// pixel's four bytes in memory order; a CMYK view's come as 255 minus
// themselves when negativeInput is set (only inks are stored inverted).
// Returns the view's model; a Lab view comes converted to sRGB, as RGB.
ColourModel LoadSourceBitmap(const QString& path, QImage& bitmap, bool negativeInput);

}  // namespace plivora
