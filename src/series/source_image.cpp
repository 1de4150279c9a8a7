#include "series/source_image.h"

#include <optional>
#include <vector>

#include "common/error.h"
#include "series/source_file.h"
#include "series/strip_layout.h"
#include "series/tiff_source.h"

namespace plivora {

namespace {

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Raised inside the layout parser when a file is not in the strip layout;
// carries the reason only, the caller names the file.
struct NotStripLayout {
  QString reason;
};

[[noreturn]] void NotInLayout(const QString& reason) { throw NotStripLayout{reason}; }

struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;  // the raw value field, little-endian
};

// The tags the reader needs or checks; the last occurrence of a tag wins.
struct Directory {
  std::optional<Entry> width, height, bitsPerSample, compression, photometric, stripOffsets,
      samplesPerPixel, planar;
};

// The value of a one-value SHORT or LONG entry.
uint32_t Scalar(const Entry& e, const char* name) {
  if (e.type == kShort) return e.value & 0xFFFF;
  if (e.type == kLong) return e.value;
  NotInLayout(QStringLiteral("its %1 tag has field type %2; expected SHORT or LONG").arg(name).arg(e.type));
}

Directory ReadDirectory(const SourceFile& file) {
  uint8_t head[10];
  if (!file.ReadAt(0, head, sizeof head)) NotInLayout(QStringLiteral("the file is too short to be a TIFF"));
  if (head[0] != 'I' || head[1] != 'I')
    NotInLayout(head[0] == 'M' && head[1] == 'M' ? QStringLiteral("it is a big-endian (\"MM\") TIFF; views must be little-endian (\"II\")")
                                                  : QStringLiteral("it is not a little-endian TIFF (no \"II\" at its start)"));
  if (Le16(head + 2) != 42) NotInLayout(QStringLiteral("it is not a TIFF (no 42 after \"II\")"));
  if (Le32(head + 4) != 8)
    NotInLayout(QStringLiteral("its image directory is at offset %1; views have it at offset 8").arg(Le32(head + 4)));
  const uint16_t count = Le16(head + 8);
  std::vector<uint8_t> table(size_t(count) * 12);
  if (!file.ReadAt(10, table.data(), table.size()))
    NotInLayout(QStringLiteral("its image directory (%1 entries) runs past the end of the file").arg(count));

  Directory dir;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* p = table.data() + size_t(i) * 12;
    const Entry e{Le16(p), Le16(p + 2), Le32(p + 4), Le32(p + 8)};
    switch (e.tag) {
      case 256: dir.width = e; break;
      case 257: dir.height = e; break;
      case 258: dir.bitsPerSample = e; break;
      case 259: dir.compression = e; break;
      case 262: dir.photometric = e; break;
      case 273: dir.stripOffsets = e; break;
      case 277: dir.samplesPerPixel = e; break;
      case 284: dir.planar = e; break;
      default: break;
    }
  }
  return dir;
}

QString CompressionName(uint32_t c) {
  switch (c) {
    case 5: return QStringLiteral("LZW");
    case 6: case 7: return QStringLiteral("JPEG");
    case 8: case 32946: return QStringLiteral("Deflate");
    case 32773: return QStringLiteral("PackBits");
    default: return QStringLiteral("compression %1").arg(c);
  }
}

// Every BitsPerSample value must be 8. One or two SHORT values sit in the
// entry itself; more sit at the offset the entry holds.
void CheckBitsPerSample(const SourceFile& file, const Entry& e) {
  if (e.type != kShort && e.type != kLong)
    NotInLayout(QStringLiteral("its BitsPerSample tag has field type %1; expected SHORT").arg(e.type));
  const uint32_t size = e.type == kShort ? 2 : 4;
  // The count comes from the file: no buffer larger than the file itself.
  if (uint64_t(e.count) * size > 4 && uint64_t(e.count) * size > file.size())
    NotInLayout(QStringLiteral("its BitsPerSample values run past the end of the file"));
  std::vector<uint8_t> values(size_t(e.count) * size);
  if (uint64_t(e.count) * size <= 4) {
    for (size_t i = 0; i < values.size(); ++i) values[i] = uint8_t(e.value >> (8 * i));
  } else if (!file.ReadAt(e.value, values.data(), values.size())) {
    NotInLayout(QStringLiteral("its BitsPerSample values run past the end of the file"));
  }
  for (uint32_t i = 0; i < e.count; ++i) {
    const uint32_t bits = size == 2 ? Le16(&values[i * 2]) : Le32(&values[i * 4]);
    if (bits != 8) NotInLayout(QStringLiteral("it has %1 bits per sample; views have 8").arg(bits));
  }
}

SourceImage ParseHeader(const SourceFile& file) {
  const QString& path = file.path();
  const Directory dir = ReadDirectory(file);

  if (dir.compression && Scalar(*dir.compression, "Compression") != 1)
    NotInLayout(QStringLiteral("its pixel data is compressed (%1); views must be uncompressed")
                     .arg(CompressionName(Scalar(*dir.compression, "Compression"))));
  if (dir.photometric && Scalar(*dir.photometric, "PhotometricInterpretation") != 5)
    NotInLayout(QStringLiteral("it is not a CMYK image (PhotometricInterpretation %1)")
                     .arg(Scalar(*dir.photometric, "PhotometricInterpretation")));
  if (dir.samplesPerPixel && Scalar(*dir.samplesPerPixel, "SamplesPerPixel") != 4)
    NotInLayout(QStringLiteral("it has %1 samples per pixel; views have 4 (C, M, Y, K)")
                     .arg(Scalar(*dir.samplesPerPixel, "SamplesPerPixel")));
  if (dir.bitsPerSample) CheckBitsPerSample(file, *dir.bitsPerSample);
  if (dir.planar && Scalar(*dir.planar, "PlanarConfiguration") == 2)
    NotInLayout(QStringLiteral("its samples are stored in separate planes; views must be interleaved"));

  SourceImage image;
  image.Path = path;
  if (dir.width) image.Width = Scalar(*dir.width, "ImageWidth");
  if (dir.height) image.Height = Scalar(*dir.height, "ImageLength");
  if (image.Width == 0) NotInLayout(dir.width ? QStringLiteral("its width is 0") : QStringLiteral("it has no ImageWidth tag"));
  if (image.Height == 0) NotInLayout(dir.height ? QStringLiteral("its height is 0") : QStringLiteral("it has no ImageLength tag"));
  if (!dir.stripOffsets) NotInLayout(QStringLiteral("it has no StripOffsets tag"));
  if (dir.stripOffsets->count != 1)
    NotInLayout(QStringLiteral("its pixel data is in %1 strips; views must be one strip").arg(dir.stripOffsets->count));
  image.DataOffset = Scalar(*dir.stripOffsets, "StripOffsets");

  const uint64_t dataEnd = uint64_t(image.DataOffset) + uint64_t(image.Width) * image.Height * 4;
  if (dataEnd > file.size())
    NotInLayout(QStringLiteral("its pixel data (%1 x %2 pixels from offset %3) runs past the end of the file (%4 bytes)")
                     .arg(image.Width).arg(image.Height).arg(image.DataOffset).arg(file.size()));
  return image;
}

// Reads the one-strip layout with positioned reads: any row, in any order.
class StripReader final : public SourceReader {
 public:
  StripReader(std::unique_ptr<SourceFile> file, const SourceImage& image) : file_(std::move(file)) { image_ = image; }

  void ReadRow(uint32_t row, uint8_t* dest) override {
    const uint64_t rowBytes = uint64_t(image_.Width) * 4;
    if (row >= image_.Height || !file_->ReadAt(image_.DataOffset + uint64_t(row) * rowBytes, dest, rowBytes))
      Fail(QStringLiteral("\"%1\": the pixel data ends before row %2").arg(image_.Path).arg(row));
  }

 private:
  std::unique_ptr<SourceFile> file_;
};

}  // namespace

std::optional<SourceImage> ReadStripLayout(const SourceFile& file, QString* whyNot) {
  try {
    return ParseHeader(file);
  } catch (const NotStripLayout& e) {
    if (whyNot) *whyNot = e.reason;
    return std::nullopt;
  }
}

std::unique_ptr<SourceReader> OpenSource(const QString& path) { return OpenSource(std::make_unique<SourceFile>(path)); }

// Files in the strip layout keep the reader without a TIFF library; every
// other file goes to libtiff, which refuses what is not a CMYK view.
std::unique_ptr<SourceReader> OpenSource(std::unique_ptr<SourceFile> file) {
  const std::optional<SourceImage> image = ReadStripLayout(*file, nullptr);
  if (!image) return OpenTiffSource(std::move(file));
  return std::make_unique<StripReader>(std::move(file), *image);
}

void ReadSourceHeader(const QString& path, SourceImage& image) { image = OpenSource(path)->image(); }

void ReadSourceRow(const SourceImage& image, uint32_t row, uint8_t* dest) {
  const auto reader = OpenSource(image.Path);
  if (reader->image().Width != image.Width)
    Fail(QStringLiteral("\"%1\" has changed since its header was read").arg(image.Path));
  reader->ReadRow(row, dest);
}

void LoadSourceBitmap(const QString& path, QImage& bitmap, bool negativeInput) {
  if (bitmap.depth() != 32) Fail(QStringLiteral("LoadSourceBitmap needs a 32-bit bitmap"));
  auto reader = OpenSource(path);
  const SourceImage& image = reader->image();
  if (image.Width > uint32_t(INT32_MAX) || image.Height > uint32_t(INT32_MAX))
    Fail(QStringLiteral("\"%1\" is too large to show (%2 x %3 pixels)").arg(path).arg(image.Width).arg(image.Height));
  QImage loaded(int(image.Width), int(image.Height), bitmap.format());
  if (loaded.isNull())
    Fail(QStringLiteral("Not enough memory to load \"%1\" (%2 x %3 pixels)").arg(path).arg(image.Width).arg(image.Height));
  const size_t rowBytes = size_t(image.Width) * 4;
  for (uint32_t r = 0; r < image.Height; ++r) {
    uint8_t* line = loaded.scanLine(int(r));
    reader->ReadRow(r, line);
    if (negativeInput)
      for (size_t i = 0; i < rowBytes; ++i) line[i] = uint8_t(255 - line[i]);
  }
  bitmap = std::move(loaded);
}

}  // namespace plivora
