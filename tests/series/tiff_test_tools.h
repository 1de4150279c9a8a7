// Makers of view files for the reader's tests: the image tools of the test
// machine (tiffcp, convert, Pillow), libtiff's own writer, and a hand-made
// PackBits file whose bytes the tests can break at known places.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace plivora::test {

// Everything written to stderr (fd 2) from construction to Stop().
class StderrCapture {
 public:
  explicit StderrCapture(const QString& path);
  QByteArray Stop();

 private:
  QString path_;
  int saved_ = -1;
};

// Runs a tool; the test fails with the tool's output when it does not succeed.
void RunTool(const QString& program, const QStringList& args);

struct LibtiffLayout {
  uint16_t bits = 8;
  uint16_t photometric = 5;  // CMYK
  uint16_t samples = 4;
  uint16_t compression = 1;
  bool separatePlanes = false;
  bool bigEndian = false;
  uint32_t rowsPerStrip = 4;
  uint16_t orientation = 1;  // top row first, left column first
  std::vector<uint16_t> extraSamples;  // the ExtraSamples tag's values, when given
  std::vector<uint16_t> colormap;      // R, G, B arrays of 256 each, for palette colour
  QByteArray iccProfile;               // the ICCProfile tag, when given
};

// Writes width x height pixels through libtiff. `samples` holds the pixels'
// samples interleaved, top row first, one value per sample (below 2^bits).
void WriteWithLibtiff(const QString& path, uint32_t width, uint32_t height, const std::vector<uint16_t>& samples,
                      const LibtiffLayout& layout);

// The file offsets and byte counts of a file's strips or tiles, by libtiff.
struct Striles {
  std::vector<uint64_t> offsets, bytes;
};
Striles StrilesOf(const QString& path);

// A little-endian PackBits CMYK view: header, directory at offset 8 (whose
// next-directory link is `nextDirectory`), its arrays, then the strips.
struct PackBitsFile {
  std::vector<uint8_t> bytes;
  size_t byteCountsAt = 0;  // file offset of the StripByteCounts array
  std::vector<uint32_t> stripBytes;
};
PackBitsFile PackBitsView(uint32_t width, uint32_t height, const std::vector<uint8_t>& cmyk, uint32_t rowsPerStrip,
                          uint32_t nextDirectory = 0);

// Sets the one value of entry `tag` in the first directory of a little-endian
// TIFF held in `bytes`; a SHORT entry becomes LONG for a value past 65535.
void SetFirstEntry(std::vector<uint8_t>& bytes, uint16_t tag, uint32_t value);

}  // namespace plivora::test
