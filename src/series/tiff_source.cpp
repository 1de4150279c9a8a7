#include "series/tiff_source.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "common/error.h"

namespace plivora {

namespace {

// A view's decoded band (one strip, or one row of tiles, as 8-bit CMYK) and
// any single allocation libtiff makes for it stay below this; a file that
// needs more is refused when opened.
constexpr uint64_t kMaxBandBytes = uint64_t(256) << 20;
// Directories followed when looking for a loop in the chain.
constexpr int kMaxDirectories = 65536;

struct Refusal {
  QString reason;
};

[[noreturn]] void Refuse(const QString& reason) { throw Refusal{reason}; }

// What libtiff's read, seek and size callbacks work on, and where its
// messages go. Only the first few messages are kept: the first is usually
// the cause, the rest its consequences.
struct TiffClient {
  SourceFile* file = nullptr;
  uint64_t pos = 0;
  QStringList errors;
  QStringList warnings;

  void Clear() {
    errors.clear();
    warnings.clear();
  }
  QString Reason(const QString& fallback) const {
    const QStringList& list = errors.isEmpty() ? warnings : errors;
    return list.isEmpty() ? fallback : list.join(QStringLiteral("; "));
  }
};

void Keep(QStringList& list, const TiffClient& client, const char* module, const char* fmt, va_list ap) {
  if (list.size() >= 3) return;
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  QString message = QString::fromLocal8Bit(text).trimmed();
  const QString name = QString::fromLocal8Bit(module ? module : "");
  if (!name.isEmpty() && name != client.file->path()) message = name + QStringLiteral(": ") + message;
  if (!list.contains(message)) list.append(message);
}

int OnError(TIFF*, void* data, const char* module, const char* fmt, va_list ap) {
  auto* client = static_cast<TiffClient*>(data);
  Keep(client->errors, *client, module, fmt, ap);
  return 1;  // handled: libtiff's process-wide handlers are not called
}

int OnWarning(TIFF*, void* data, const char* module, const char* fmt, va_list ap) {
  auto* client = static_cast<TiffClient*>(data);
  Keep(client->warnings, *client, module, fmt, ap);
  return 1;
}

// libtiff's callbacks are C: nothing may be thrown through them.
tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
  auto* c = static_cast<TiffClient*>(h);
  if (size < 0) return -1;
  const uint64_t left = c->pos < c->file->size() ? c->file->size() - c->pos : 0;
  const uint64_t n = std::min<uint64_t>(uint64_t(size), left);
  try {
    if (n > 0 && !c->file->ReadAt(c->pos, buf, n)) return -1;
  } catch (const Error& e) {
    if (c->errors.size() < 3) c->errors.append(e.message());
    return -1;
  }
  c->pos += n;
  return tmsize_t(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* c = static_cast<TiffClient*>(h);
  const uint64_t base = whence == SEEK_CUR ? c->pos : whence == SEEK_END ? c->file->size() : 0;
  const uint64_t target = base + offset;  // a negative SEEK_CUR offset arrives wrapped
  if (int64_t(target) < 0) return toff_t(-1);
  c->pos = target;
  return target;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<TiffClient*>(h)->file->size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// Messages raised outside any handle (none are expected) are dropped rather
// than printed.
void SilenceProcessWideHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

uint16_t Get16(const uint8_t* p, bool big) { return big ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p, bool big) {
  return big ? uint32_t(Get16(p, true)) << 16 | Get16(p + 2, true) : uint32_t(Get16(p + 2, false)) << 16 | Get16(p, false);
}
uint64_t Get64(const uint8_t* p, bool big) {
  return big ? uint64_t(Get32(p, true)) << 32 | Get32(p + 4, true) : uint64_t(Get32(p + 4, false)) << 32 | Get32(p, false);
}

// Follows the chain of image directories from the header, so that a file
// whose chain comes back on itself is refused; only the first directory is
// read as the view.
void CheckDirectoryChain(const SourceFile& file) {
  uint8_t head[16];
  if (!file.ReadAt(0, head, 8)) Refuse(QStringLiteral("the file is too short to be a TIFF"));
  const bool big = head[0] == 'M' && head[1] == 'M';
  if (!big && !(head[0] == 'I' && head[1] == 'I')) Refuse(QStringLiteral("it is not a TIFF file"));
  const uint16_t version = Get16(head + 2, big);
  if (version != 42 && version != 43) Refuse(QStringLiteral("it is not a TIFF file"));
  const bool bigTiff = version == 43;
  if (bigTiff && !file.ReadAt(0, head, 16)) Refuse(QStringLiteral("the file is too short to be a TIFF"));
  uint64_t offset = bigTiff ? Get64(head + 8, big) : Get32(head + 4, big);
  if (offset == 0) Refuse(QStringLiteral("it has no image directory"));

  std::unordered_set<uint64_t> seen;
  for (int n = 0; offset != 0 && n < kMaxDirectories; ++n) {
    if (!seen.insert(offset).second)
      Refuse(QStringLiteral("its image directories form a loop (the directory at offset %1 comes round again)").arg(offset));
    uint8_t count[8];
    if (!file.ReadAt(offset, count, bigTiff ? 8 : 2)) {
      if (n == 0) Refuse(QStringLiteral("its image directory (offset %1) lies outside the file").arg(offset));
      return;  // a broken later directory does not concern the view
    }
    const uint64_t entries = bigTiff ? Get64(count, big) : Get16(count, big);
    const uint64_t next = offset + (bigTiff ? 8 : 2) + entries * (bigTiff ? 20 : 12);
    uint8_t link[8];
    if (entries > 0xFFFF || !file.ReadAt(next, link, bigTiff ? 8 : 4)) return;
    offset = bigTiff ? Get64(link, big) : Get32(link, big);
  }
}

QString ColourModel(uint16_t photometric) {
  switch (photometric) {
    case PHOTOMETRIC_MINISWHITE: case PHOTOMETRIC_MINISBLACK: return QStringLiteral("greyscale");
    case PHOTOMETRIC_RGB: return QStringLiteral("RGB");
    case PHOTOMETRIC_PALETTE: return QStringLiteral("palette colour");
    case PHOTOMETRIC_MASK: return QStringLiteral("a transparency mask");
    case PHOTOMETRIC_YCBCR: return QStringLiteral("YCbCr");
    case PHOTOMETRIC_CIELAB: case PHOTOMETRIC_ICCLAB: case PHOTOMETRIC_ITULAB: return QStringLiteral("Lab");
    case PHOTOMETRIC_LOGL: return QStringLiteral("LogL");
    case PHOTOMETRIC_LOGLUV: return QStringLiteral("LogLuv");
    case PHOTOMETRIC_CFA: return QStringLiteral("colour-filter-array raw");
    default: return QStringLiteral("colour model %1").arg(photometric);
  }
}

QString CompressionName(uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE: return QStringLiteral("uncompressed");
    case COMPRESSION_LZW: return QStringLiteral("LZW");
    case COMPRESSION_ADOBE_DEFLATE: case COMPRESSION_DEFLATE: return QStringLiteral("Deflate");
    case COMPRESSION_PACKBITS: return QStringLiteral("PackBits");
    case COMPRESSION_JPEG: case COMPRESSION_OJPEG: return QStringLiteral("JPEG");
    default: return QStringLiteral("compression %1").arg(compression);
  }
}

// Reads a view through libtiff, one band (a strip, or a row of tiles) or one
// scanline at a time, in increasing row order.
class TiffReader final : public SourceReader {
 public:
  explicit TiffReader(std::unique_ptr<SourceFile> file);
  ~TiffReader() override {
    if (tif_) TIFFClose(tif_);
  }

  void ReadRow(uint32_t row, uint8_t* dest) override;

 private:
  void Open();
  void CheckSamples();
  void CheckStorage();
  void DecodeScanline(uint32_t row);
  void DecodeBand(uint32_t band);
  void Store(const uint8_t* src, size_t srcStride, size_t pixelSamples, uint32_t firstSample, uint32_t samples,
             uint32_t rows, uint32_t cols, uint8_t* out, size_t outStride) const;
  [[noreturn]] void DecodeFailed(uint32_t row, const char* what);

  std::unique_ptr<SourceFile> file_;
  TiffClient client_;
  TIFF* tif_ = nullptr;

  uint16_t bits_ = 8, samples_ = 4, planar_ = PLANARCONFIG_CONTIG, compression_ = COMPRESSION_NONE;
  bool tiled_ = false;
  uint32_t tileWidth_ = 0, bandRows_ = 1;
  std::vector<uint8_t> scratch_;  // one decoded scanline, strip or tile as stored
  std::vector<uint8_t> band_;     // bandRows_ rows of Width * 4 bytes, 8-bit CMYK
  int64_t current_ = -1;          // the scanline or band now held, -1 for none
};

TiffReader::TiffReader(std::unique_ptr<SourceFile> file) : file_(std::move(file)) {
  client_.file = file_.get();
  image_.Path = file_->path();
  Open();
  CheckSamples();
  CheckStorage();
  try {
    ReadRow(0, nullptr);  // decoded now, handed out when the first row is asked for
  } catch (const Error&) {
    Refuse(QStringLiteral("its pixel data cannot be decoded (%1: %2)")
               .arg(CompressionName(compression_), client_.Reason(QStringLiteral("no reason given"))));
  }
}

void TiffReader::Open() {
  SilenceProcessWideHandlers();
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaxBandBytes));
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &client_);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &client_);
  const QByteArray name = file_->path().toLocal8Bit();
  // "m": no memory mapping, every byte goes through ReadProc.
  tif_ = TIFFClientOpenExt(name.constData(), "rm", &client_, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                           MapProc, UnmapProc, options);
  TIFFOpenOptionsFree(options);
  if (!tif_) Refuse(QStringLiteral("libtiff cannot read it (%1)").arg(client_.Reason(QStringLiteral("no reason given"))));
}

void TiffReader::CheckSamples() {
  uint16_t photometric = 0, format = SAMPLEFORMAT_UINT, inkSet = INKSET_CMYK, extraCount = 0;
  uint16_t* extra = nullptr;
  if (!TIFFGetField(tif_, TIFFTAG_PHOTOMETRIC, &photometric))
    Refuse(QStringLiteral("it has no PhotometricInterpretation tag, so its colour model is unknown"));
  TIFFGetFieldDefaulted(tif_, TIFFTAG_BITSPERSAMPLE, &bits_);
  TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLESPERPIXEL, &samples_);
  TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif_, TIFFTAG_PLANARCONFIG, &planar_);
  TIFFGetFieldDefaulted(tif_, TIFFTAG_COMPRESSION, &compression_);
  TIFFGetField(tif_, TIFFTAG_INKSET, &inkSet);
  TIFFGetField(tif_, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);

  if (bits_ == 1 && (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK))
    Refuse(QStringLiteral("it is a 1-bit black-and-white image, not CMYK"));
  if (photometric != PHOTOMETRIC_SEPARATED)
    Refuse(QStringLiteral("it is not a CMYK image: its colour model is %1").arg(ColourModel(photometric)));
  if (inkSet != INKSET_CMYK) Refuse(QStringLiteral("its inks are not cyan, magenta, yellow and black (InkSet %1)").arg(inkSet));
  if (bits_ != 8 && bits_ != 16)
    Refuse(QStringLiteral("it has %1 bit%2 per sample; views have 8 or 16").arg(bits_).arg(bits_ == 1 ? "" : "s"));
  if (format != SAMPLEFORMAT_UINT)
    Refuse(format == SAMPLEFORMAT_IEEEFP ? QStringLiteral("its samples are floating-point numbers; views have whole numbers")
                                         : QStringLiteral("its samples are signed (SampleFormat %1); views have unsigned ones").arg(format));
  if (samples_ < 4 || samples_ - 4 > extraCount)
    Refuse(QStringLiteral("it has %1 inks; views have four (C, M, Y, K)").arg(samples_ - std::min<uint16_t>(samples_, extraCount)));
  if (planar_ != PLANARCONFIG_CONTIG && planar_ != PLANARCONFIG_SEPARATE)
    Refuse(QStringLiteral("its PlanarConfiguration is %1").arg(planar_));
  if (!TIFFIsCODECConfigured(compression_))
    Refuse(QStringLiteral("its compression scheme (%1) is not one this program decodes").arg(compression_));

  TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &image_.Width);
  TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &image_.Height);
  if (image_.Width == 0 || image_.Height == 0)
    Refuse(QStringLiteral("it has no pixels (%1 x %2)").arg(image_.Width).arg(image_.Height));
}

// Every strip or tile must lie inside the file, and an uncompressed one must
// hold all its rows; then the buffers for one band are sized.
void TiffReader::CheckStorage() {
  tiled_ = TIFFIsTiled(tif_);
  const char* unit = tiled_ ? "tile" : "strip";
  const uint32_t bytesPerSample = bits_ / 8;
  uint32_t tileLength = 0, rowsPerStrip = image_.Height;
  if (tiled_) {
    TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tileWidth_);
    TIFFGetField(tif_, TIFFTAG_TILELENGTH, &tileLength);
    if (tileWidth_ == 0 || tileLength == 0) Refuse(QStringLiteral("its tiles have no size"));
    bandRows_ = std::min(tileLength, image_.Height);
  } else {
    TIFFGetFieldDefaulted(tif_, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    bandRows_ = std::clamp<uint32_t>(rowsPerStrip, 1, image_.Height);
  }
  const uint32_t count = tiled_ ? TIFFNumberOfTiles(tif_) : TIFFNumberOfStrips(tif_);
  const uint32_t perPlane = planar_ == PLANARCONFIG_SEPARATE ? count / samples_ : count;
  const uint32_t bands = (image_.Height - 1) / bandRows_ + 1;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t offset = TIFFGetStrileOffset(tif_, i), bytes = TIFFGetStrileByteCount(tif_, i);
    if (bytes == 0) Refuse(QStringLiteral("its %1 %2 is empty").arg(unit).arg(i));
    if (offset > file_->size() || bytes > file_->size() - offset)
      Refuse(QStringLiteral("its %1 %2 (%3 bytes from offset %4) runs past the end of the file (%5 bytes)")
                 .arg(unit).arg(i).arg(bytes).arg(offset).arg(file_->size()));
    if (compression_ == COMPRESSION_NONE) {
      const uint32_t band = tiled_ ? 0 : (i % std::max<uint32_t>(perPlane, 1));
      const uint32_t rows = band + 1 < bands ? bandRows_ : image_.Height - band * bandRows_;
      const uint64_t need = tiled_ ? TIFFTileSize64(tif_) : TIFFVStripSize64(tif_, rows);
      if (bytes < need) Refuse(QStringLiteral("its %1 %2 holds %3 bytes of the %4 its pixels need").arg(unit).arg(i).arg(bytes).arg(need));
    }
  }

  if (count < uint64_t(bands) * (tiled_ ? (image_.Width - 1) / tileWidth_ + 1 : 1) * (planar_ == PLANARCONFIG_SEPARATE ? samples_ : 1))
    Refuse(QStringLiteral("it has too few %1s for its size").arg(unit));
  const uint64_t pixelBytes = uint64_t(bytesPerSample) * (planar_ == PLANARCONFIG_SEPARATE ? 1 : samples_);
  const uint64_t bandBytes = uint64_t(bandRows_) * image_.Width * 4;
  if (!tiled_ && planar_ == PLANARCONFIG_CONTIG) {
    const uint64_t line = TIFFScanlineSize64(tif_);
    if (line < uint64_t(image_.Width) * pixelBytes || line > kMaxBandBytes)
      Refuse(QStringLiteral("its rows are %1 bytes long, which does not fit its width").arg(line));
    scratch_.resize(line);
    return;  // read scanline by scanline, no band buffer
  }
  const uint64_t block = tiled_ ? TIFFTileSize64(tif_) : TIFFStripSize64(tif_);
  const uint64_t blockNeeds = tiled_ ? uint64_t(tileWidth_) * tileLength * pixelBytes : uint64_t(bandRows_) * image_.Width * pixelBytes;
  if (block < blockNeeds) Refuse(QStringLiteral("its %1s are %2 bytes, too few for their pixels").arg(unit).arg(block));
  if (block > kMaxBandBytes || bandBytes > kMaxBandBytes)
    Refuse(QStringLiteral("its %1s are too large to decode one at a time (%2 rows of %3 pixels)").arg(unit).arg(bandRows_).arg(image_.Width));
  scratch_.resize(block);
  band_.resize(bandBytes);
}

// Copies `samples` samples of every pixel of a decoded block (rows of
// `srcStride` bytes, pixels of `pixelSamples` samples) into 8-bit CMYK rows
// of `outStride` bytes, at sample `firstSample` of each output pixel.
void TiffReader::Store(const uint8_t* src, size_t srcStride, size_t pixelSamples, uint32_t firstSample,
                       uint32_t samples, uint32_t rows, uint32_t cols, uint8_t* out, size_t outStride) const {
  const size_t step = pixelSamples * (bits_ / 8);
  for (uint32_t r = 0; r < rows; ++r) {
    const uint8_t* in = src + r * srcStride;
    uint8_t* o = out + r * outStride + firstSample;
    if (bits_ == 8) {
      for (uint32_t c = 0; c < cols; ++c, in += step, o += 4)
        for (uint32_t s = 0; s < samples; ++s) o[s] = in[s];
      continue;
    }
    for (uint32_t c = 0; c < cols; ++c, in += step, o += 4)
      for (uint32_t s = 0; s < samples; ++s) {
        uint16_t v;
        std::memcpy(&v, in + 2 * s, 2);  // libtiff hands 16-bit samples over in host order
        o[s] = uint8_t((uint32_t(v) + 128) / 257);
      }
  }
}

[[noreturn]] void TiffReader::DecodeFailed(uint32_t row, const char* what) {
  Fail(QStringLiteral("\"%1\": cannot decode row %2 (%3): %4").arg(image_.Path).arg(row)
           .arg(CompressionName(compression_), client_.Reason(QString::fromLatin1(what))));
}

// Most codecs decode a strip only from its start and row after row, so rows
// skipped by the caller are decoded too.
void TiffReader::DecodeScanline(uint32_t row) {
  const uint32_t stripStart = row - row % bandRows_;
  uint32_t next = current_ >= int64_t(stripStart) && current_ < int64_t(row) ? uint32_t(current_) + 1 : stripStart;
  current_ = -1;
  client_.Clear();
  for (; next <= row; ++next) {
    // Decoding that only warns has still lost pixels (a JPEG stream that
    // ends early comes out grey), so a warning fails the row too.
    if (TIFFReadScanline(tif_, scratch_.data(), next, 0) < 0 || !client_.errors.isEmpty() || !client_.warnings.isEmpty())
      DecodeFailed(next, "the row cannot be read");
  }
  current_ = row;
}

void TiffReader::DecodeBand(uint32_t band) {
  const uint32_t y0 = band * bandRows_;
  const uint32_t rows = std::min(bandRows_, image_.Height - y0);
  const bool separate = planar_ == PLANARCONFIG_SEPARATE;
  const uint32_t planes = separate ? 4 : 1;
  const size_t pixelSamples = separate ? 1 : samples_;
  const size_t bytesPerSample = bits_ / 8;
  current_ = -1;
  client_.Clear();
  for (uint32_t plane = 0; plane < planes; ++plane) {
    const uint32_t x1 = tiled_ ? image_.Width : 1;
    for (uint32_t x0 = 0; x0 < x1; x0 += tiled_ ? tileWidth_ : 1) {
      const uint32_t block = tiled_ ? TIFFComputeTile(tif_, x0, y0, 0, uint16_t(plane)) : TIFFComputeStrip(tif_, y0, uint16_t(plane));
      const tmsize_t got = tiled_ ? TIFFReadEncodedTile(tif_, block, scratch_.data(), tmsize_t(scratch_.size()))
                                  : TIFFReadEncodedStrip(tif_, block, scratch_.data(), tmsize_t(scratch_.size()));
      const uint32_t cols = tiled_ ? std::min(tileWidth_, image_.Width - x0) : image_.Width;
      const size_t stride = size_t(tiled_ ? tileWidth_ : image_.Width) * pixelSamples * bytesPerSample;
      if (got < 0 || uint64_t(got) < (rows - 1) * stride + cols * pixelSamples * bytesPerSample ||
          !client_.errors.isEmpty() || !client_.warnings.isEmpty())
        DecodeFailed(y0, "the pixel data is incomplete");
      Store(scratch_.data(), stride, pixelSamples, plane, separate ? 1 : 4, rows, cols, band_.data() + size_t(x0) * 4,
            size_t(image_.Width) * 4);
    }
  }
  current_ = band;
}

void TiffReader::ReadRow(uint32_t row, uint8_t* dest) {
  if (row >= image_.Height) Fail(QStringLiteral("\"%1\": the pixel data ends before row %2").arg(image_.Path).arg(row));
  if (band_.empty()) {
    if (current_ != int64_t(row)) DecodeScanline(row);
    if (dest) Store(scratch_.data(), 0, samples_, 0, 4, 1, image_.Width, dest, 0);
    return;
  }
  const uint32_t band = row / bandRows_;
  if (current_ != int64_t(band)) DecodeBand(band);
  if (dest) std::memcpy(dest, band_.data() + size_t(row - band * bandRows_) * image_.Width * 4, size_t(image_.Width) * 4);
}

}  // namespace

std::unique_ptr<SourceReader> OpenTiffSource(std::unique_ptr<SourceFile> file) {
  const QString path = file->path();
  try {
    CheckDirectoryChain(*file);
    return std::make_unique<TiffReader>(std::move(file));
  } catch (const Refusal& r) {
    Fail(QStringLiteral("Cannot read view \"%1\": %2").arg(path, r.reason));
  }
}

}  // namespace plivora
