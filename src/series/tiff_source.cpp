#include "series/tiff_source.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/error.h"
#include "series/tiff_client.h"
#include "series/view_error.h"
#include "series/view_pixels.h"

namespace plivora {

namespace {

// A view's decoded band (one strip, or one row of tiles, as 8-bit samples)
// and any single allocation libtiff makes for it stay below this; a file
// that needs more is refused when opened.
constexpr uint64_t kMaxBandBytes = uint64_t(256) << 20;

QString PhotometricName(uint16_t photometric) {
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

// Reads a view through libtiff, one band (a strip, or a row of tiles) or one
// scanline at a time, in increasing row order. Strips and tiles are numbered
// as the file stores them: libtiff is told not to cut a large uncompressed
// strip into strips of its own, and such rows are read straight from the
// file instead, one at a time.
class TiffReader final : public SourceReader {
 public:
  TiffReader(std::unique_ptr<SourceFile> file, DecodeBudget& budget);

  void ReadRow(uint32_t row, uint8_t* dest) override;

 private:
  void Open();
  void CheckSamples();
  void CheckStriles();
  void SizeBuffers(DecodeBudget& budget);
  void ReadStoredRow(uint32_t row);
  void DecodeScanline(uint32_t row);
  void DecodeBand(uint32_t band);
  void CheckColourModel(uint16_t photometric, uint16_t extraCount, const uint16_t* extra);
  void Store(const uint8_t* src, size_t srcStride, size_t pixelSamples, uint32_t firstSample, uint32_t samples,
             uint32_t rows, uint32_t cols, uint8_t* out, size_t outStride) const;
  void Finish(const uint8_t* kept, uint8_t* dest) const;
  [[noreturn]] void DecodeFailed(uint32_t row, const char* what);

  std::unique_ptr<SourceFile> file_;
  TiffClient client_;
  // A member, so that it is closed also when the constructor refuses the
  // file half-way.
  TiffHandle handle_;
  TIFF* tif_ = nullptr;  // handle_.get()

  uint16_t bits_ = 8, samples_ = 4, planar_ = PLANARCONFIG_CONTIG, compression_ = COMPRESSION_NONE;
  // The samples kept of each pixel, 8 bits each: C, M, Y, K; R, G, B; a
  // grey; a palette index; then the alpha, when there is one.
  uint32_t kept_ = 4;
  bool alpha_ = false, premultiplied_ = false, whiteIsZero_ = false;
  std::vector<uint32_t> palette_;  // R, G, B, 0 of each index, for palette colour
  bool tiled_ = false;
  uint32_t tileWidth_ = 0, tileLength_ = 0, bandRows_ = 1;
  uint64_t largestStrile_ = 0;    // bytes of the largest strip or tile as stored
  std::vector<uint8_t> scratch_;  // one decoded scanline, strip or tile as stored
  std::vector<uint8_t> band_;     // bandRows_ rows of Width * kept_ samples
  std::vector<uint8_t> keptRow_;  // one row of kept samples, read scanline by scanline
  int64_t current_ = -1;          // the scanline or band now held, -1 for none
};

TiffReader::TiffReader(std::unique_ptr<SourceFile> file, DecodeBudget& budget)
    : file_(std::move(file)), client_(*file_) {
  image_.Path = file_->path();
  Open();
  CheckSamples();
  CheckStriles();
  SizeBuffers(budget);
  try {
    ReadRow(0, nullptr);  // decoded now, handed out when the first row is asked for
  } catch (const Error&) {
    Refuse(QStringLiteral("its pixel data cannot be decoded (%1: %2)")
               .arg(CompressionName(compression_), client_.messages.Reason(QStringLiteral("no reason given"))));
  }
}

void TiffReader::Open() {
  handle_ = OpenTiffHandle(client_, kMaxBandBytes);
  tif_ = handle_.get();
  if (!tif_) Refuse(QStringLiteral("libtiff cannot read it (%1)").arg(client_.messages.Reason(QStringLiteral("no reason given"))));
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
    Refuse(QStringLiteral("it is a 1-bit black-and-white image; views have 8 or 16 bits per sample"));
  if (photometric == PHOTOMETRIC_SEPARATED && inkSet != INKSET_CMYK)
    Refuse(QStringLiteral("its inks are not cyan, magenta, yellow and black (InkSet %1)").arg(inkSet));
  if (bits_ != 8 && bits_ != 16)
    Refuse(QStringLiteral("it has %1 bit%2 per sample; views have 8 or 16").arg(bits_).arg(bits_ == 1 ? "" : "s"));
  if (format != SAMPLEFORMAT_UINT)
    Refuse(format == SAMPLEFORMAT_IEEEFP ? QStringLiteral("its samples are floating-point numbers; views have whole numbers")
                                         : QStringLiteral("its samples are signed (SampleFormat %1); views have unsigned ones").arg(format));
  CheckColourModel(photometric, extraCount, extra);
  if (planar_ != PLANARCONFIG_CONTIG && planar_ != PLANARCONFIG_SEPARATE)
    Refuse(QStringLiteral("its PlanarConfiguration is %1").arg(planar_));
  // Rows are handed out as stored, top row first: a file that declares
  // another order would come out flipped or turned.
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetField(tif_, TIFFTAG_ORIENTATION, &orientation);
  if (orientation != ORIENTATION_TOPLEFT)
    Refuse(QStringLiteral("its rows are stored flipped or turned (Orientation %1); views must be stored upright").arg(orientation));
  if (!TIFFIsCODECConfigured(compression_))
    Refuse(QStringLiteral("its compression scheme (%1) is not one this program decodes").arg(CompressionName(compression_)));

  TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &image_.Width);
  TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &image_.Height);
  if (image_.Width == 0 || image_.Height == 0)
    Refuse(QStringLiteral("it has no pixels (%1 x %2)").arg(image_.Width).arg(image_.Height));
  uint32_t profileBytes = 0;
  const void* profile = nullptr;
  if (TIFFGetField(tif_, TIFFTAG_ICCPROFILE, &profileBytes, &profile) && profile && profileBytes > 0)
    image_.Profile = QByteArray(static_cast<const char*>(profile), qsizetype(profileBytes));
}

// CMYK with four inks; RGB; greyscale either way round; palette colour of
// 8 bits; JPEG-compressed YCbCr, which libtiff hands over as RGB. Samples
// past the model's are ExtraSamples: the first, when it is an alpha, lays
// the pixel over white paper; the others are dropped.
void TiffReader::CheckColourModel(uint16_t photometric, uint16_t extraCount, const uint16_t* extra) {
  uint32_t channels = 0;
  switch (photometric) {
    case PHOTOMETRIC_SEPARATED:
      image_.Model = ColourModel::kCmyk;
      channels = 4;
      break;
    case PHOTOMETRIC_YCBCR:
      if (compression_ != COMPRESSION_JPEG && compression_ != COMPRESSION_OJPEG)
        Refuse(QStringLiteral("its colour model is YCbCr without JPEG compression, which views do not use"));
      TIFFSetField(tif_, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      [[fallthrough]];
    case PHOTOMETRIC_RGB:
      image_.Model = ColourModel::kRgb;
      channels = 3;
      break;
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      image_.Model = ColourModel::kGrey;
      whiteIsZero_ = photometric == PHOTOMETRIC_MINISWHITE;
      channels = 1;
      break;
    case PHOTOMETRIC_PALETTE: {
      if (bits_ != 8) Refuse(QStringLiteral("it is palette colour of %1 bits; views have 8").arg(bits_));
      uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
      if (!TIFFGetField(tif_, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
        Refuse(QStringLiteral("it is palette colour without a palette"));
      palette_.resize(256);
      for (size_t i = 0; i < 256; ++i)
        palette_[i] = uint32_t(Reduce16(red[i])) | uint32_t(Reduce16(green[i])) << 8 | uint32_t(Reduce16(blue[i])) << 16;
      image_.Model = ColourModel::kRgb;
      channels = 1;
      break;
    }
    default:
      Refuse(QStringLiteral("its colour model is %1; views are CMYK, RGB or greyscale").arg(PhotometricName(photometric)));
  }
  if (samples_ < channels || samples_ - channels > extraCount) {
    if (image_.Model == ColourModel::kCmyk)
      Refuse(QStringLiteral("it has %1 inks; views have four (C, M, Y, K)").arg(samples_ - std::min<uint16_t>(samples_, extraCount)));
    Refuse(QStringLiteral("it has %1 samples per pixel; %2 views have %3, and further ones must be ExtraSamples")
               .arg(samples_).arg(ColourModelName(image_.Model)).arg(channels));
  }
  // The inks of a CMYK view are used as they are, an alpha or not.
  alpha_ = image_.Model != ColourModel::kCmyk && palette_.empty() && samples_ > channels &&
           (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA);
  premultiplied_ = alpha_ && extra[0] == EXTRASAMPLE_ASSOCALPHA;
  kept_ = channels + (alpha_ ? 1 : 0);
}

// Every strip or tile must lie inside the file, and an uncompressed one must
// hold all its rows.
void TiffReader::CheckStriles() {
  tiled_ = TIFFIsTiled(tif_);
  const char* unit = tiled_ ? "tile" : "strip";
  uint32_t rowsPerStrip = image_.Height;
  if (tiled_) {
    TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tileWidth_);
    TIFFGetField(tif_, TIFFTAG_TILELENGTH, &tileLength_);
    if (tileWidth_ == 0 || tileLength_ == 0) Refuse(QStringLiteral("its tiles have no size"));
    bandRows_ = std::min(tileLength_, image_.Height);
  } else {
    TIFFGetFieldDefaulted(tif_, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    bandRows_ = std::clamp<uint32_t>(rowsPerStrip, 1, image_.Height);
  }
  const uint32_t count = tiled_ ? TIFFNumberOfTiles(tif_) : TIFFNumberOfStrips(tif_);
  const uint32_t perPlane = planar_ == PLANARCONFIG_SEPARATE ? count / samples_ : count;
  const uint32_t bands = (image_.Height - 1) / bandRows_ + 1;
  if (count < uint64_t(bands) * (tiled_ ? (image_.Width - 1) / tileWidth_ + 1 : 1) * (planar_ == PLANARCONFIG_SEPARATE ? samples_ : 1))
    Refuse(QStringLiteral("it has too few %1s for its size").arg(unit));
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t offset = TIFFGetStrileOffset(tif_, i), bytes = TIFFGetStrileByteCount(tif_, i);
    if (bytes == 0) Refuse(QStringLiteral("its %1 %2 is empty").arg(unit).arg(i));
    if (offset > file_->size() || bytes > file_->size() - offset)
      Refuse(QStringLiteral("its %1 %2 (%3 bytes from offset %4) runs past the end of the file (%5 bytes)")
                 .arg(unit).arg(i).arg(bytes).arg(offset).arg(file_->size()));
    largestStrile_ = std::max(largestStrile_, bytes);
    if (compression_ == COMPRESSION_NONE) {
      const uint32_t band = tiled_ ? 0 : (i % std::max<uint32_t>(perPlane, 1));
      const uint32_t rows = band + 1 < bands ? bandRows_ : image_.Height - band * bandRows_;
      const uint64_t need = tiled_ ? TIFFTileSize64(tif_) : TIFFVStripSize64(tif_, rows);
      if (bytes < need) Refuse(QStringLiteral("its %1 %2 holds %3 bytes of the %4 its pixels need").arg(unit).arg(i).arg(bytes).arg(need));
    }
  }
}

// Sizes the buffers for one scanline or one band, within the budget. A
// compressed strip or tile is also read whole into libtiff's own buffer
// before it is decoded, so that counts too.
void TiffReader::SizeBuffers(DecodeBudget& budget) {
  const uint64_t pixelBytes = uint64_t(bits_ / 8) * (planar_ == PLANARCONFIG_SEPARATE ? 1 : samples_);
  const uint64_t raw = compression_ == COMPRESSION_NONE ? 0 : largestStrile_;
  if (!tiled_ && planar_ == PLANARCONFIG_CONTIG) {
    const uint64_t line = TIFFScanlineSize64(tif_);
    if (line == 0 || line > kMaxBandBytes)
      Refuse(QStringLiteral("its rows are too long to read (%1 pixels of %2 bytes; a row may take at most %3)")
                 .arg(image_.Width).arg(pixelBytes).arg(SizeText(kMaxBandBytes)));
    if (line < uint64_t(image_.Width) * pixelBytes)
      Refuse(QStringLiteral("its rows are %1 bytes long, too short for %2 pixels of %3 bytes").arg(line).arg(image_.Width).arg(pixelBytes));
    const uint64_t kept = image_.Model == ColourModel::kCmyk ? 0 : uint64_t(image_.Width) * kept_;
    budget.Claim(line + raw + kept);
    scratch_.resize(line);
    keptRow_.resize(kept);
    return;  // read scanline by scanline, no band buffer
  }
  const char* unit = tiled_ ? "tile" : "strip";
  const uint64_t block = tiled_ ? TIFFTileSize64(tif_) : TIFFStripSize64(tif_);
  const uint64_t blockNeeds = tiled_ ? uint64_t(tileWidth_) * tileLength_ * pixelBytes : uint64_t(bandRows_) * image_.Width * pixelBytes;
  const uint64_t bandBytes = uint64_t(bandRows_) * image_.Width * kept_;
  if (block < blockNeeds) Refuse(QStringLiteral("its %1s are %2 bytes, too few for their pixels").arg(unit).arg(block));
  if (block > kMaxBandBytes || bandBytes > kMaxBandBytes)
    Refuse(QStringLiteral("its %1s are too large to decode one at a time (%2 rows of %3 pixels)").arg(unit).arg(bandRows_).arg(image_.Width));
  budget.Claim(block + bandBytes + raw);
  scratch_.resize(block);
  band_.resize(bandBytes);
}

// Copies `samples` samples of every pixel of a decoded block (rows of
// `srcStride` bytes, pixels of `pixelSamples` samples) into rows of kept
// 8-bit samples, `outStride` bytes apart, at sample `firstSample` of each
// output pixel.
void TiffReader::Store(const uint8_t* src, size_t srcStride, size_t pixelSamples, uint32_t firstSample,
                       uint32_t samples, uint32_t rows, uint32_t cols, uint8_t* out, size_t outStride) const {
  const size_t step = pixelSamples * (bits_ / 8);
  for (uint32_t r = 0; r < rows; ++r) {
    const uint8_t* in = src + r * srcStride;
    uint8_t* o = out + r * outStride + firstSample;
    if (bits_ == 8) {
      for (uint32_t c = 0; c < cols; ++c, in += step, o += kept_)
        for (uint32_t s = 0; s < samples; ++s) o[s] = in[s];
      continue;
    }
    for (uint32_t c = 0; c < cols; ++c, in += step, o += kept_)
      for (uint32_t s = 0; s < samples; ++s) {
        uint16_t v;
        std::memcpy(&v, in + 2 * s, 2);  // libtiff hands 16-bit samples over in host order
        o[s] = Reduce16(v);
      }
  }
}

[[noreturn]] void TiffReader::DecodeFailed(uint32_t row, const char* what) {
  FailView(image_.Path, QStringLiteral("cannot decode row %1 (%2): %3")
                            .arg(row).arg(CompressionName(compression_), client_.messages.Reason(QString::fromLatin1(what))));
}

// Uncompressed interleaved rows come straight from the file, at the offset
// of their strip; CheckStriles has seen every strip hold all its rows.
void TiffReader::ReadStoredRow(uint32_t row) {
  current_ = -1;
  const uint64_t at = TIFFGetStrileOffset(tif_, row / bandRows_) + uint64_t(row % bandRows_) * scratch_.size();
  if (!file_->ReadAt(at, scratch_.data(), scratch_.size()))
    FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
  if (bits_ == 16 && TIFFIsByteSwapped(tif_))
    TIFFSwabArrayOfShort(reinterpret_cast<uint16_t*>(scratch_.data()), tmsize_t(scratch_.size() / 2));
  current_ = row;
}

// Most codecs decode a strip only from its start and row after row, so rows
// skipped by the caller are decoded too.
void TiffReader::DecodeScanline(uint32_t row) {
  const uint32_t stripStart = row - row % bandRows_;
  uint32_t next = current_ >= int64_t(stripStart) && current_ < int64_t(row) ? uint32_t(current_) + 1 : stripStart;
  current_ = -1;
  client_.messages.Clear();
  for (; next <= row; ++next) {
    // Decoding that only warns has still lost pixels (a JPEG stream that
    // ends early comes out grey), so a warning fails the row too.
    if (TIFFReadScanline(tif_, scratch_.data(), next, 0) < 0 || !client_.messages.empty())
      DecodeFailed(next, "the row cannot be read");
  }
  current_ = row;
}

void TiffReader::DecodeBand(uint32_t band) {
  const uint32_t y0 = band * bandRows_;
  const uint32_t rows = std::min(bandRows_, image_.Height - y0);
  const bool separate = planar_ == PLANARCONFIG_SEPARATE;
  const uint32_t planes = separate ? kept_ : 1;
  const size_t pixelSamples = separate ? 1 : samples_;
  const size_t bytesPerSample = bits_ / 8;
  current_ = -1;
  client_.messages.Clear();
  for (uint32_t plane = 0; plane < planes; ++plane) {
    const uint32_t x1 = tiled_ ? image_.Width : 1;
    for (uint32_t x0 = 0; x0 < x1; x0 += tiled_ ? tileWidth_ : 1) {
      const uint32_t block = tiled_ ? TIFFComputeTile(tif_, x0, y0, 0, uint16_t(plane)) : TIFFComputeStrip(tif_, y0, uint16_t(plane));
      const tmsize_t got = tiled_ ? TIFFReadEncodedTile(tif_, block, scratch_.data(), tmsize_t(scratch_.size()))
                                  : TIFFReadEncodedStrip(tif_, block, scratch_.data(), tmsize_t(scratch_.size()));
      const uint32_t cols = tiled_ ? std::min(tileWidth_, image_.Width - x0) : image_.Width;
      const size_t stride = size_t(tiled_ ? tileWidth_ : image_.Width) * pixelSamples * bytesPerSample;
      if (got < 0 || uint64_t(got) < (rows - 1) * stride + cols * pixelSamples * bytesPerSample ||
          !client_.messages.empty())
        DecodeFailed(y0, "the pixel data is incomplete");
      Store(scratch_.data(), stride, pixelSamples, plane, separate ? 1 : kept_, rows, cols,
            band_.data() + size_t(x0) * kept_, size_t(image_.Width) * kept_);
    }
  }
  current_ = band;
}

void TiffReader::ReadRow(uint32_t row, uint8_t* dest) {
  if (row >= image_.Height) FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
  if (band_.empty()) {
    if (current_ != int64_t(row)) compression_ == COMPRESSION_NONE ? ReadStoredRow(row) : DecodeScanline(row);
    if (!dest) return;
    if (image_.Model == ColourModel::kCmyk) return Store(scratch_.data(), 0, samples_, 0, 4, 1, image_.Width, dest, 0);
    Store(scratch_.data(), 0, samples_, 0, kept_, 1, image_.Width, keptRow_.data(), 0);
    Finish(keptRow_.data(), dest);
    return;
  }
  const uint32_t band = row / bandRows_;
  if (current_ != int64_t(band)) DecodeBand(band);
  if (!dest) return;
  const uint8_t* kept = band_.data() + size_t(row - band * bandRows_) * image_.Width * kept_;
  if (image_.Model == ColourModel::kCmyk) return (void)std::memcpy(dest, kept, size_t(image_.Width) * 4);
  Finish(kept, dest);
}

// Kept samples to the view's four-byte pixels: a palette index to its
// colour, a grey stored white-is-zero turned round, and a pixel with an
// alpha laid over white paper (what is transparent prints no ink).
void TiffReader::Finish(const uint8_t* kept, uint8_t* dest) const {
  const uint32_t width = image_.Width;
  if (!palette_.empty()) {
    for (uint32_t x = 0; x < width; ++x) std::memcpy(dest + 4 * x, &palette_[kept[x]], 4);
    return;
  }
  const uint32_t channels = kept_ - (alpha_ ? 1 : 0);
  for (uint32_t x = 0; x < width; ++x, kept += kept_, dest += 4) {
    uint8_t v[3];
    for (uint32_t c = 0; c < 3; ++c) v[c] = kept[channels == 1 ? 0 : c];
    if (whiteIsZero_) v[0] = v[1] = v[2] = uint8_t(255 - v[0]);
    if (alpha_) {
      const uint32_t a = kept[channels];
      for (uint8_t& c : v) c = premultiplied_ ? uint8_t(std::min<uint32_t>(255, c + 255 - a)) : OverWhite(c, a);
    }
    dest[0] = v[0];
    dest[1] = v[1];
    dest[2] = v[2];
    dest[3] = 0;
  }
}

}  // namespace

std::unique_ptr<SourceReader> OpenTiffSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget) {
  const QString path = file->path();
  DecodeBudget own;
  try {
    if (const QString problem = DirectoryChainProblem(*file); !problem.isEmpty()) Refuse(problem);
    return std::make_unique<TiffReader>(std::move(file), budget ? *budget : own);
  } catch (const Refusal& r) {
    FailView(path, r.reason);
  }
}

}  // namespace plivora
