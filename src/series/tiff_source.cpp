#include "series/tiff_source.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "common/error.h"
#include "series/strip_layout.h"
#include "series/tiff_client.h"
#include "series/tiff_tags.h"
#include "series/view_error.h"
#include "series/view_pixels.h"

namespace plivora {

namespace {

// A view's decoded band (one strip, or one row of tiles, as 8-bit samples)
// and any single allocation libtiff makes for it stay below this; a file
// that needs more is refused when opened.
constexpr uint64_t kMaxBandBytes = uint64_t(256) << 20;

// Reads a view through libtiff, one band (a strip, or a row of tiles) or one
// scanline at a time, in increasing row order. Strips and tiles are numbered
// as the file stores them: libtiff is told not to cut a large uncompressed
// strip into strips of its own, and such rows are read straight from the
// file instead, one at a time.
class TiffReader final : public SourceReader {
 public:
  TiffReader(std::unique_ptr<SourceFile> file, std::unique_ptr<TiffClient> client, TiffHandle handle,
             const TiffTags& tags, DecodeBudget& budget);

  void ReadRow(uint32_t row, uint8_t* dest) override;
  void Start() override;
  // Uncompressed strips and tiles are read as stored.
  bool ReadsDirectly() const override { return compression_ == COMPRESSION_NONE; }

 private:
  void CheckStriles();
  void SizeBuffers(DecodeBudget& budget);
  void ReadStoredRow(uint32_t row);
  void DecodeScanline(uint32_t row);
  void DecodeBand(uint32_t band);
  void Store(const uint8_t* src, size_t srcStride, size_t pixelSamples, uint32_t firstSample, uint32_t samples,
             uint32_t rows, uint32_t cols, uint8_t* out, size_t outStride) const;
  void StoreLab(const uint8_t* in, size_t step, uint32_t firstSample, uint32_t samples, uint32_t cols, uint8_t* o) const;
  void Finish(const uint8_t* kept, uint8_t* dest) const;
  bool HasAlpha() const override { return tags_.alpha; }
  void ReadAlpha(uint8_t* dest) const override;
  [[noreturn]] void DecodeFailed(uint32_t row, const char* what);

  // Bytes of `cols` pixels of `pixelSamples` samples, packed as stored.
  uint64_t PackedBytes(uint64_t cols, uint64_t pixelSamples) const { return (cols * pixelSamples * bits_ + 7) / 8; }

  std::unique_ptr<SourceFile> file_;
  std::unique_ptr<TiffClient> client_;  // where libtiff's callbacks read and its messages go
  TiffHandle handle_;
  TIFF* tif_ = nullptr;  // handle_.get()

  const TiffTags tags_;
  const uint16_t bits_, samples_, planar_, compression_;
  const uint32_t kept_;  // tags_.kept()
  // What a sample of fewer than 8 bits is multiplied by: 255 / (2^bits - 1)
  // for a grey, 1 for a palette index.
  uint32_t scale_ = 1;
  bool started_ = false;
  bool tiled_ = false;
  uint32_t tileWidth_ = 0, tileLength_ = 0, bandRows_ = 1;
  uint64_t largestStrile_ = 0;    // bytes of the largest strip or tile as stored
  std::vector<uint8_t> scratch_;  // one decoded scanline, strip or tile as stored
  std::vector<uint8_t> band_;     // bandRows_ rows of Width * kept_ samples
  std::vector<uint8_t> keptRow_;  // one row of kept samples, read scanline by scanline
  int64_t current_ = -1;          // the scanline or band now held, -1 for none
  const uint8_t* lastKept_ = nullptr;  // the kept samples of the row handed out last
};

TiffReader::TiffReader(std::unique_ptr<SourceFile> file, std::unique_ptr<TiffClient> client, TiffHandle handle,
                       const TiffTags& tags, DecodeBudget& budget)
    : file_(std::move(file)), client_(std::move(client)), handle_(std::move(handle)), tif_(handle_.get()), tags_(tags),
      bits_(tags.bits), samples_(tags.samples), planar_(tags.planar), compression_(tags.compression), kept_(tags.kept()) {
  image_.Path = file_->path();
  image_.Width = tags.width;
  image_.Height = tags.height;
  image_.Model = tags.model;
  image_.Profile = tags.profile;
  image_.Orientation = tags.orientation;
  if (bits_ < 8 && tags.palette.empty()) scale_ = 255 / ((1u << bits_) - 1);
  CheckStriles();
  SizeBuffers(budget);
}

void TiffReader::Start() {
  if (started_) return;
  started_ = true;
  try {
    ReadRow(0, nullptr);  // decoded now, handed out when the first row is asked for
  } catch (const Error&) {
    FailView(image_.Path, QStringLiteral("its pixel data cannot be decoded (%1: %2)")
                              .arg(CompressionName(compression_), client_->messages.Reason(QStringLiteral("no reason given"))));
  }
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
  const uint64_t pixelSamples = planar_ == PLANARCONFIG_SEPARATE ? 1 : samples_;
  const uint64_t pixelBytes = PackedBytes(1, pixelSamples);
  const uint64_t raw = compression_ == COMPRESSION_NONE ? 0 : largestStrile_;
  if (!tiled_ && planar_ == PLANARCONFIG_CONTIG) {
    const uint64_t line = TIFFScanlineSize64(tif_);
    if (line == 0 || line > kMaxBandBytes)
      Refuse(QStringLiteral("its rows are too long to read (%1 pixels of %2 bytes; a row may take at most %3)")
                 .arg(image_.Width).arg(pixelBytes).arg(SizeText(kMaxBandBytes)));
    if (line < PackedBytes(image_.Width, pixelSamples))
      Refuse(QStringLiteral("its rows are %1 bytes long, too short for %2 pixels of %3 bytes").arg(line).arg(image_.Width).arg(pixelBytes));
    const uint64_t kept = image_.Model == ColourModel::kCmyk && !tags_.alpha ? 0 : uint64_t(image_.Width) * kept_;
    budget.Claim(line + raw + kept);
    scratch_.resize(line);
    keptRow_.resize(kept);
    return;  // read scanline by scanline, no band buffer
  }
  const char* unit = tiled_ ? "tile" : "strip";
  const uint64_t block = tiled_ ? TIFFTileSize64(tif_) : TIFFStripSize64(tif_);
  const uint64_t blockNeeds = tiled_ ? tileLength_ * PackedBytes(tileWidth_, pixelSamples) : bandRows_ * PackedBytes(image_.Width, pixelSamples);
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
// output pixel. Samples of fewer than 8 bits (one a pixel) are packed highest
// bits first.
void TiffReader::Store(const uint8_t* src, size_t srcStride, size_t pixelSamples, uint32_t firstSample,
                       uint32_t samples, uint32_t rows, uint32_t cols, uint8_t* out, size_t outStride) const {
  const size_t step = pixelSamples * (bits_ / 8);
  for (uint32_t r = 0; r < rows; ++r) {
    const uint8_t* in = src + r * srcStride;
    uint8_t* o = out + r * outStride + firstSample;
    if (bits_ < 8) {
      const uint32_t mask = (1u << bits_) - 1;
      for (uint32_t c = 0; c < cols; ++c, o += kept_) {
        const uint64_t bit = uint64_t(c) * bits_;
        o[0] = uint8_t(((in[bit / 8] >> (8 - bits_ - bit % 8)) & mask) * scale_);
      }
      continue;
    }
    if (tags_.signedAb) {
      StoreLab(in, step, firstSample, samples, cols, o);
      continue;
    }
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

// CIELab samples: L as any sample; a and b, signed, offset by 128 (16-bit
// ones to the nearest of their 256ths first, within 0 to 255).
void TiffReader::StoreLab(const uint8_t* in, size_t step, uint32_t firstSample, uint32_t samples, uint32_t cols,
                          uint8_t* o) const {
  for (uint32_t c = 0; c < cols; ++c, in += step, o += kept_)
    for (uint32_t s = 0; s < samples; ++s) {
      const bool ab = firstSample + s == 1 || firstSample + s == 2;
      if (bits_ == 8) {
        o[s] = ab ? uint8_t(in[s] ^ 0x80) : in[s];
        continue;
      }
      uint16_t v;
      std::memcpy(&v, in + 2 * s, 2);
      o[s] = ab ? uint8_t(std::clamp(((int32_t(int16_t(v)) + 128) >> 8) + 128, 0, 255)) : Reduce16(v);
    }
}

[[noreturn]] void TiffReader::DecodeFailed(uint32_t row, const char* what) {
  FailView(image_.Path, QStringLiteral("cannot decode row %1 (%2): %3")
                            .arg(row).arg(CompressionName(compression_), client_->messages.Reason(QString::fromLatin1(what))));
}

// Uncompressed interleaved rows come straight from the file, at the offset
// of their strip; CheckStriles has seen every strip hold all its rows.
void TiffReader::ReadStoredRow(uint32_t row) {
  current_ = -1;
  const uint64_t at = TIFFGetStrileOffset(tif_, row / bandRows_) + uint64_t(row % bandRows_) * scratch_.size();
  if (!file_->ReadAt(at, scratch_.data(), scratch_.size()))
    FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
  if (tags_.reversedBits) ReverseBits(scratch_.data(), scratch_.size());
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
  client_->messages.Clear();
  for (; next <= row; ++next) {
    // Decoding that only warns has still lost pixels (a JPEG stream that
    // ends early comes out grey), so a warning fails the row too.
    if (TIFFReadScanline(tif_, scratch_.data(), next, 0) < 0 || !client_->messages.empty())
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
  current_ = -1;
  client_->messages.Clear();
  for (uint32_t plane = 0; plane < planes; ++plane) {
    const uint32_t x1 = tiled_ ? image_.Width : 1;
    for (uint32_t x0 = 0; x0 < x1; x0 += tiled_ ? tileWidth_ : 1) {
      const uint32_t block = tiled_ ? TIFFComputeTile(tif_, x0, y0, 0, uint16_t(plane)) : TIFFComputeStrip(tif_, y0, uint16_t(plane));
      const tmsize_t got = tiled_ ? TIFFReadEncodedTile(tif_, block, scratch_.data(), tmsize_t(scratch_.size()))
                                  : TIFFReadEncodedStrip(tif_, block, scratch_.data(), tmsize_t(scratch_.size()));
      const uint32_t cols = tiled_ ? std::min(tileWidth_, image_.Width - x0) : image_.Width;
      const size_t stride = PackedBytes(tiled_ ? tileWidth_ : image_.Width, pixelSamples);
      if (got < 0 || uint64_t(got) < (rows - 1) * stride + PackedBytes(cols, pixelSamples) ||
          !client_->messages.empty())
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
    if (keptRow_.empty()) return Store(scratch_.data(), 0, samples_, 0, 4, 1, image_.Width, dest, 0);  // CMYK as stored
    Store(scratch_.data(), 0, samples_, 0, kept_, 1, image_.Width, keptRow_.data(), 0);
    lastKept_ = keptRow_.data();
    Finish(keptRow_.data(), dest);
    return;
  }
  const uint32_t band = row / bandRows_;
  if (current_ != int64_t(band)) DecodeBand(band);
  if (!dest) return;
  const uint8_t* kept = band_.data() + size_t(row - band * bandRows_) * image_.Width * kept_;
  lastKept_ = kept;
  if (image_.Model == ColourModel::kCmyk && !tags_.alpha) return (void)std::memcpy(dest, kept, size_t(image_.Width) * 4);
  Finish(kept, dest);
}

void TiffReader::ReadAlpha(uint8_t* dest) const {
  if (!tags_.alpha || !lastKept_) return SourceReader::ReadAlpha(dest);
  const uint8_t* a = lastKept_ + tags_.channels;
  for (uint32_t x = 0; x < image_.Width; ++x, a += kept_) dest[x] = *a;
}

// Kept samples to the view's four-byte pixels: a palette index to its
// colour, a grey stored white-is-zero turned round, and a pixel with an
// alpha laid over white paper (what is transparent prints no ink: a CMYK
// pixel's inks are scaled by its alpha).
void TiffReader::Finish(const uint8_t* kept, uint8_t* dest) const {
  const uint32_t width = image_.Width;
  const uint32_t channels = tags_.channels, a = channels;  // a: the alpha's place among the kept samples
  const bool alpha = tags_.alpha, premultiplied = tags_.premultiplied;
  if (image_.Model == ColourModel::kCmyk) {
    for (uint32_t x = 0; x < width; ++x, kept += kept_, dest += 4)
      for (uint32_t c = 0; c < 4; ++c) dest[c] = premultiplied ? kept[c] : uint8_t((kept[c] * uint32_t(kept[a]) + 127) / 255);
    return;
  }
  for (uint32_t x = 0; x < width; ++x, kept += kept_, dest += 4) {
    uint8_t v[3];
    if (!tags_.palette.empty()) {
      std::memcpy(v, &tags_.palette[kept[0]], 3);
    } else {
      for (uint32_t c = 0; c < 3; ++c) v[c] = kept[channels == 1 ? 0 : c];
      if (tags_.whiteIsZero) v[0] = v[1] = v[2] = uint8_t(255 - v[0]);
    }
    if (alpha)
      for (uint8_t& c : v) c = premultiplied ? uint8_t(std::min<uint32_t>(255, c + 255 - kept[a])) : OverWhite(c, kept[a]);
    dest[0] = v[0];
    dest[1] = v[1];
    dest[2] = v[2];
    dest[3] = 0;
  }
}

}  // namespace

// The strip layout is told apart first, so that its own refusals (pixels
// that cannot be where it says) come first; libtiff then reads the
// directory of every TIFF, for the one set of checks.
std::unique_ptr<SourceReader> OpenTiffSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget, bool start) {
  const QString path = file->path();
  DecodeBudget own;
  try {
    const std::optional<SourceImage> strip = ReadStripLayout(*file, nullptr);
    // Only the first directory is the view; the chain after it is followed
    // for libtiff's sake, which the strip layout does without.
    if (!strip)
      if (const QString problem = DirectoryChainProblem(*file); !problem.isEmpty()) Refuse(problem);
    auto client = std::make_unique<TiffClient>(*file);
    TiffHandle handle = OpenTiffHandle(*client, kMaxBandBytes);
    if (!handle) Refuse(QStringLiteral("libtiff cannot read it (%1)").arg(client->messages.Reason(QStringLiteral("no reason given"))));
    const TiffTags tags = ReadTiffTags(handle.get(), client->messages, strip.has_value());
    if (strip) {
      SourceImage image = *strip;
      image.Profile = tags.profile;
      image.Orientation = tags.orientation;
      return OpenStripReader(std::move(file), image, tags.reversedBits);
    }
    auto reader = std::make_unique<TiffReader>(std::move(file), std::move(client), std::move(handle), tags, budget ? *budget : own);
    if (start) reader->Start();
    return reader;
  } catch (const Refusal& r) {
    FailView(path, r.reason);
  }
}

}  // namespace plivora
