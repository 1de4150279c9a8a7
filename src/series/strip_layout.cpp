#include "series/strip_layout.h"

#include <vector>

#include "common/error.h"
#include "series/byte_order.h"
#include "series/tiff_tags.h"
#include "series/view_error.h"

namespace plivora {

namespace {

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint64_t kHeaderBytes = 8;  // "II", 42, the directory's offset

struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;  // the raw value field, little-endian
};

// The tags the reader needs or checks; the last occurrence of a tag wins.
struct Directory {
  std::optional<Entry> width, height, bitsPerSample, compression, photometric, stripOffsets, samplesPerPixel,
      rowsPerStrip, planar;
  uint64_t end = 0;  // the first byte after the directory and its next-directory link
};

// What the layout check found: the view, and what its pixels must agree with.
struct Header {
  SourceImage image;
  std::optional<uint32_t> rowsPerStrip;
  uint64_t directoryEnd = 0;
};

// The value of a one-value SHORT or LONG entry.
uint32_t Scalar(const Entry& e, const char* name) {
  if (e.type == kShort) return e.value & 0xFFFF;
  if (e.type == kLong) return e.value;
  Refuse(QStringLiteral("its %1 tag has field type %2; expected SHORT or LONG").arg(name).arg(e.type));
}

void StoreEntry(Directory& dir, const Entry& e) {
  switch (e.tag) {
    case 256: dir.width = e; break;
    case 257: dir.height = e; break;
    case 258: dir.bitsPerSample = e; break;
    case 259: dir.compression = e; break;
    case 262: dir.photometric = e; break;
    case 273: dir.stripOffsets = e; break;
    case 277: dir.samplesPerPixel = e; break;
    case 278: dir.rowsPerStrip = e; break;
    case 284: dir.planar = e; break;
    default: break;
  }
}

Directory ReadDirectory(const SourceFile& file) {
  uint8_t head[10];
  if (!file.ReadAt(0, head, sizeof head)) Refuse(QStringLiteral("the file is too short to be a TIFF"));
  if (head[0] != 'I' || head[1] != 'I')
    Refuse(head[0] == 'M' && head[1] == 'M' ? QStringLiteral("it is a big-endian (\"MM\") TIFF; views must be little-endian (\"II\")")
                                            : QStringLiteral("it is not a little-endian TIFF (no \"II\" at its start)"));
  if (Le16(head + 2) != 42) Refuse(QStringLiteral("it is not a TIFF (no 42 after \"II\")"));
  if (Le32(head + 4) != kHeaderBytes)
    Refuse(QStringLiteral("its image directory is at offset %1; views have it at offset 8").arg(Le32(head + 4)));
  const uint16_t count = Le16(head + 8);
  Directory dir;
  dir.end = kHeaderBytes + 2 + uint64_t(count) * 12 + 4;
  // The count comes from the file: no buffer larger than the file itself.
  if (dir.end - 4 > file.size())
    Refuse(QStringLiteral("its image directory (%1 entries) runs past the end of the file").arg(count));
  std::vector<uint8_t> table(size_t(count) * 12);
  if (!file.ReadAt(10, table.data(), table.size()))
    Refuse(QStringLiteral("its image directory (%1 entries) runs past the end of the file").arg(count));
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* p = table.data() + size_t(i) * 12;
    StoreEntry(dir, Entry{Le16(p), Le16(p + 2), Le32(p + 4), Le32(p + 8)});
  }
  return dir;
}

// Every BitsPerSample value must be 8: one value, or one for each of the four
// samples. Two SHORT values or one LONG sit in the entry itself; more sit at
// the offset the entry holds. A count that is neither 1 nor 4 is refused
// before anything is read, so no count from the file sizes a buffer.
void CheckBitsPerSample(const SourceFile& file, const Entry& e) {
  if (e.type != kShort && e.type != kLong)
    Refuse(QStringLiteral("its BitsPerSample tag has field type %1; expected SHORT").arg(e.type));
  if (e.count != 1 && e.count != 4)
    Refuse(QStringLiteral("its BitsPerSample tag holds %1 values; views have one for each of their 4 samples").arg(e.count));
  const uint32_t size = e.type == kShort ? 2 : 4;
  uint8_t values[16];
  if (e.count * size <= 4) {
    PutLe32(values, e.value);
  } else if (!file.ReadAt(e.value, values, e.count * size)) {
    Refuse(QStringLiteral("its BitsPerSample values run past the end of the file"));
  }
  for (uint32_t i = 0; i < e.count; ++i) {
    const uint32_t bits = size == 2 ? Le16(values + i * 2) : Le32(values + i * 4);
    if (bits != 8) Refuse(QStringLiteral("it has %1 bits per sample; views have 8").arg(bits));
  }
}

void CheckSamples(const SourceFile& file, const Directory& dir) {
  if (dir.compression && Scalar(*dir.compression, "Compression") != 1)
    Refuse(QStringLiteral("its pixel data is compressed (%1); views must be uncompressed")
               .arg(CompressionName(Scalar(*dir.compression, "Compression"))));
  if (dir.photometric && Scalar(*dir.photometric, "PhotometricInterpretation") != 5)
    Refuse(QStringLiteral("it is not a CMYK image (PhotometricInterpretation %1)")
               .arg(Scalar(*dir.photometric, "PhotometricInterpretation")));
  if (dir.samplesPerPixel && Scalar(*dir.samplesPerPixel, "SamplesPerPixel") != 4)
    Refuse(QStringLiteral("it has %1 samples per pixel; views have 4 (C, M, Y, K)")
               .arg(Scalar(*dir.samplesPerPixel, "SamplesPerPixel")));
  if (dir.bitsPerSample) CheckBitsPerSample(file, *dir.bitsPerSample);
  if (dir.planar && Scalar(*dir.planar, "PlanarConfiguration") == 2)
    Refuse(QStringLiteral("its samples are stored in separate planes; views must be interleaved"));
}

// Refusals here mean "another layout": the file goes to libtiff.
Header ReadHeader(const SourceFile& file) {
  const Directory dir = ReadDirectory(file);
  CheckSamples(file, dir);
  Header h;
  SourceImage& image = h.image;
  image.Path = file.path();
  if (dir.width) image.Width = Scalar(*dir.width, "ImageWidth");
  if (dir.height) image.Height = Scalar(*dir.height, "ImageLength");
  if (image.Width == 0) Refuse(dir.width ? QStringLiteral("its width is 0") : QStringLiteral("it has no ImageWidth tag"));
  if (image.Height == 0) Refuse(dir.height ? QStringLiteral("its height is 0") : QStringLiteral("it has no ImageLength tag"));
  if (!dir.stripOffsets) Refuse(QStringLiteral("it has no StripOffsets tag"));
  if (dir.stripOffsets->count != 1)
    Refuse(QStringLiteral("its pixel data is in %1 strips; views must be one strip").arg(dir.stripOffsets->count));
  image.DataOffset = Scalar(*dir.stripOffsets, "StripOffsets");
  if (dir.rowsPerStrip) h.rowsPerStrip = Scalar(*dir.rowsPerStrip, "RowsPerStrip");
  h.directoryEnd = dir.end;
  return h;
}

// Refusals here are final: the file is in this layout, and its pixels are
// not where it says. Sizes reach 2^32 x 2^32 x 4 bytes: no product of them
// may wrap.
void CheckPixelData(const SourceFile& file, const Header& h) {
  const SourceImage& image = h.image;
  if (h.rowsPerStrip == 0u) Refuse(QStringLiteral("its RowsPerStrip is 0"));
  if (h.rowsPerStrip && *h.rowsPerStrip < image.Height)
    Refuse(QStringLiteral("its RowsPerStrip of %1 cuts its %2 rows into %3 strips, but its StripOffsets tag holds one offset")
               .arg(*h.rowsPerStrip).arg(image.Height).arg((uint64_t(image.Height) - 1) / *h.rowsPerStrip + 1));
  if (image.DataOffset < h.directoryEnd)
    Refuse(QStringLiteral("its pixel data starts at offset %1, inside its header and image directory (bytes 0 to %2)")
               .arg(image.DataOffset).arg(h.directoryEnd - 1));
  const uint64_t rowBytes = uint64_t(image.Width) * 4;
  const uint64_t room = image.DataOffset <= file.size() ? file.size() - image.DataOffset : 0;
  if (room / rowBytes < image.Height)
    Refuse(QStringLiteral("its pixel data (%1 x %2 pixels from offset %3) runs past the end of the file (%4 bytes)")
               .arg(image.Width).arg(image.Height).arg(image.DataOffset).arg(file.size()));
}

// Reads the one-strip layout with positioned reads: any row, in any order.
class StripReader final : public SourceReader {
 public:
  StripReader(std::unique_ptr<SourceFile> file, const SourceImage& image, bool reversedBits)
      : file_(std::move(file)), reversedBits_(reversedBits) {
    image_ = image;
  }

  void ReadRow(uint32_t row, uint8_t* dest) override {
    const uint64_t rowBytes = uint64_t(image_.Width) * 4;
    if (row >= image_.Height || !file_->ReadAt(image_.DataOffset + uint64_t(row) * rowBytes, dest, rowBytes))
      FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
    if (reversedBits_) ReverseBits(dest, size_t(rowBytes));
  }
  bool ReadsDirectly() const override { return true; }

 private:
  std::unique_ptr<SourceFile> file_;
  bool reversedBits_;
};

}  // namespace

std::optional<SourceImage> ReadStripLayout(const SourceFile& file, QString* whyNot) {
  Header header;
  try {
    header = ReadHeader(file);
  } catch (const Refusal& r) {
    if (whyNot) *whyNot = r.reason;
    return std::nullopt;
  }
  try {
    CheckPixelData(file, header);
  } catch (const Refusal& r) {
    FailView(file.path(), r.reason);
  }
  return header.image;
}

std::unique_ptr<SourceReader> OpenStripReader(std::unique_ptr<SourceFile> file, const SourceImage& image,
                                              bool reversedBits) {
  return std::make_unique<StripReader>(std::move(file), image, reversedBits);
}

}  // namespace plivora
