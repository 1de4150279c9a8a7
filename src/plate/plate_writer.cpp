#include "plate/plate_writer.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/error.h"
#include "common/file_names.h"
#include "common/output_file.h"
#include "plate/level_rows.h"
#include "plate/strip_encoders.h"
#include "plate/tiff_header.h"
#include "plate/tiff_writing.h"

namespace plivora {

namespace {

// Writes `count` pixels of four bytes as three, the fourth dropped.
void PackThree(const uint8_t* pixels, size_t count, uint8_t* out) {
  for (size_t i = 0; i < count; ++i, pixels += 4, out += 3) std::memcpy(out, pixels, 3);
}

// The classic file: the 334-byte header (332 for RGB, and more with a
// profile) and one uncompressed strip.
class PlainPlate final : public PlateWriter {
 public:
  PlainPlate(const QString& path, const PlateLayout& l)
      : out_(path), width_(size_t(l.width)), samples_(l.samples), rowBytes_(width_ * 4) {
    WriteTiffHeader(out_, l.samples, int32_t(l.width), int32_t(l.rows), l.xResolutionE9, l.yResolutionE9, l.dateTime,
                    l.iccProfile);
  }
  void Append(const uint8_t* rows, size_t count, size_t stride) override {
    if (samples_ == 3) {
      // Packed a few rows at a time, into about 256 KiB.
      const size_t piece = std::max<size_t>(1, (size_t(1) << 18) / (width_ * 3));
      packed_.resize(std::min(piece, count) * width_ * 3);
      for (size_t j = 0; j < count; j += piece) {
        const size_t n = std::min(piece, count - j);
        for (size_t k = 0; k < n; ++k) PackThree(rows + (j + k) * stride, width_, packed_.data() + k * width_ * 3);
        out_.Write(packed_.data(), n * width_ * 3);
      }
      return;
    }
    if (stride == rowBytes_) return out_.Write(rows, count * rowBytes_);
    for (size_t j = 0; j < count; ++j) out_.Write(rows + j * stride, rowBytes_);
  }
  void Finish() override {}
  OutputFile& file() override { return out_; }

 private:
  OutputFile out_;
  const size_t width_;
  const int samples_;
  const size_t rowBytes_;
  std::vector<uint8_t> packed_;
};

// libtiff writes the other forms through these callbacks into the
// OutputFile; nothing may be thrown through libtiff, so a write error is
// kept and raised once libtiff has returned.
struct PlateClient {
  OutputFile& out;
  uint64_t end = 0;
  QString failure;  // our own error, word for word
};

tmsize_t PlateWrite(thandle_t h, void* buf, tmsize_t size) {
  auto* c = static_cast<PlateClient*>(h);
  try {
    c->out.Write(buf, uint64_t(size));
  } catch (const Error& e) {
    if (c->failure.isEmpty()) c->failure = e.message();
    return -1;
  }
  c->end = std::max(c->end, c->out.Position());
  return size;
}

toff_t PlateSeek(thandle_t h, toff_t offset, int whence) {
  auto* c = static_cast<PlateClient*>(h);
  const uint64_t base = whence == SEEK_CUR ? c->out.Position() : whence == SEEK_END ? c->end : 0;
  try {
    c->out.Seek(base + offset);
  } catch (const Error& e) {
    if (c->failure.isEmpty()) c->failure = e.message();
    return toff_t(-1);
  }
  return base + offset;
}

toff_t PlateSize(thandle_t h) { return static_cast<PlateClient*>(h)->end; }

QByteArray UpToZero(const QByteArray& text) { return QByteArray(text.constData(), qstrnlen(text.constData(), text.size())); }

// Every other form, written by libtiff in strips; compressed strips are
// encoded by the StripEncoders and stored in order.
class TiffPlate final : public PlateWriter {
 public:
  TiffPlate(const QString& path, const PlateLayout& l, const OutputForm& form, StripEncoders& encoders,
            const QString& advice, uint64_t classicLimit)
      : out_(path), client_{out_, 0, {}}, layout_(l), form_(form), encoders_(encoders), advice_(advice),
        classicLimit_(classicLimit),
        rowBytes_(size_t(l.width) * l.samples),
        rowsPerStrip_(uint32_t(std::clamp<uint64_t>(l.stripBytes / rowBytes_, 1, uint64_t(l.rows)))),
        strips_(uint64_t(l.rows) / rowsPerStrip_ + (uint64_t(l.rows) % rowsPerStrip_ != 0)) {
    tif_ = OpenTiffForWriting(NativeFileName(path), form.bigTiff ? "wl8" : "wl", &client_,
                              {PlateWrite, PlateSeek, PlateSize}, messages_);
    if (!tif_) Failed();
    const bool ok =
        TIFFSetField(tif_, TIFFTAG_SUBFILETYPE, 0) && TIFFSetField(tif_, TIFFTAG_IMAGEWIDTH, uint32_t(l.width)) &&
        TIFFSetField(tif_, TIFFTAG_IMAGELENGTH, uint32_t(l.rows)) && TIFFSetField(tif_, TIFFTAG_BITSPERSAMPLE, 8) &&
        TIFFSetField(tif_, TIFFTAG_SAMPLESPERPIXEL, l.samples) &&
        TIFFSetField(tif_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(tif_, TIFFTAG_PHOTOMETRIC, l.samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_SEPARATED) &&
        (l.samples == 3 || TIFFSetField(tif_, TIFFTAG_INKSET, INKSET_CMYK)) &&
        (l.iccProfile.isEmpty() ||
         TIFFSetField(tif_, TIFFTAG_ICCPROFILE, uint32_t(l.iccProfile.size()), l.iccProfile.constData())) &&
        TIFFSetField(tif_, TIFFTAG_COMPRESSION, TiffCompressionTag(form.compression)) &&
        TIFFSetField(tif_, TIFFTAG_ROWSPERSTRIP, rowsPerStrip_) &&
        // libtiff holds resolutions in floating point: to about 10^-8 of the DPI.
        TIFFSetField(tif_, TIFFTAG_XRESOLUTION, double(l.xResolutionE9) / 1e9) &&
        TIFFSetField(tif_, TIFFTAG_YRESOLUTION, double(l.yResolutionE9) / 1e9) &&
        TIFFSetField(tif_, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
        TIFFSetField(tif_, TIFFTAG_SOFTWARE, TiffSoftwareText().constData()) &&
        TIFFSetField(tif_, TIFFTAG_DATETIME, UpToZero(l.dateTime).constData()) &&
        TIFFSetField(tif_, TIFFTAG_ARTIST, TiffArtistText().constData());
    if (!ok) {
      TIFFCleanup(tif_);  // no destructor runs for a constructor that throws
      tif_ = nullptr;
      Failed();
    }
  }

  ~TiffPlate() override {
    if (tif_) TIFFCleanup(tif_);
  }

  void Append(const uint8_t* rows, size_t count, size_t stride) override {
    const size_t width = size_t(layout_.width);
    for (size_t j = 0; j < count;) {
      // Whole uncompressed strips of contiguous rows go out as they are.
      if (filled_ == 0 && form_.compression == Compression::None && stride == rowBytes_ && layout_.samples == 4 &&
          count - j >= rowsPerStrip_) {
        Store({rows + j * stride, size_t(rowsPerStrip_) * rowBytes_});
        j += rowsPerStrip_;
        continue;
      }
      // A buffer back from the encoders may have held another plate's strip.
      if (filled_ == 0) fill_.resize(size_t(rowsPerStrip_) * rowBytes_);
      const size_t take = std::min<size_t>(count - j, rowsPerStrip_ - filled_);
      if (layout_.samples == 3) {
        for (size_t k = 0; k < take; ++k)
          PackThree(rows + (j + k) * stride, width, fill_.data() + (filled_ + k) * rowBytes_);
      } else if (stride == rowBytes_) {
        std::memcpy(fill_.data() + filled_ * rowBytes_, rows + j * stride, take * rowBytes_);
      } else {
        for (size_t k = 0; k < take; ++k)
          std::memcpy(fill_.data() + (filled_ + k) * rowBytes_, rows + (j + k) * stride, rowBytes_);
      }
      filled_ += uint32_t(take);
      j += take;
      if (filled_ == rowsPerStrip_) EndStrip();
    }
  }

  void Finish() override {
    if (filled_ > 0) EndStrip();
    encoders_.Flush();
    if (stored_ != strips_)
      Fail(QStringLiteral("Stream write error: \"%1\" could not be written. It was given %2 of its %3 strips")
               .arg(out_.targetPath()).arg(stored_).arg(strips_));
    if (!TIFFFlush(tif_)) Failed();
  }

  OutputFile& file() override { return out_; }

 private:
  void EndStrip() {
    const uint32_t rows = filled_;
    filled_ = 0;
    if (form_.compression == Compression::None) {
      Store({fill_.data(), size_t(rows) * rowBytes_});
      return;
    }
    encoders_.Submit(fill_, form_.compression, layout_.width, rows, layout_.samples,
                     [this](const EncodedStrip& s) { Store(s); });
  }

  // Strips arrive in order; the directory (two arrays of the strips'
  // offsets and byte counts, the tags and their texts) follows them.
  void Store(const EncodedStrip& s) {
    if (!form_.bigTiff && client_.end + s.size + 16 * strips_ + 1024 > classicLimit_) {
      const QString what = QStringLiteral("A %1 compressed output of %2 x %3 pixels")
                               .arg(CompressionName(form_.compression).toUpper(), QString::number(layout_.width),
                                    QString::number(layout_.rows));
      Fail(QStringLiteral("%1 passes 4 GiB at row %2 and does not fit a TIFF file (at most 4 GiB); %3")
               .arg(what)
               .arg(uint64_t(stored_) * rowsPerStrip_)
               .arg(advice_));
    }
    if (TIFFWriteRawStrip(tif_, stored_, const_cast<uint8_t*>(s.data), tmsize_t(s.size)) != tmsize_t(s.size)) Failed();
    ++stored_;
  }

  [[noreturn]] void Failed() const {
    if (!client_.failure.isEmpty()) Fail(client_.failure);
    Fail(QStringLiteral("Stream write error: \"%1\" could not be written. %2")
             .arg(out_.targetPath(), messages_.Reason(QStringLiteral("libtiff failed"))));
  }

  OutputFile out_;
  PlateClient client_;
  LibraryMessages messages_;
  const PlateLayout layout_;
  const OutputForm form_;
  StripEncoders& encoders_;
  const QString advice_;
  const uint64_t classicLimit_;
  const size_t rowBytes_;
  const uint32_t rowsPerStrip_;
  const uint64_t strips_;
  TIFF* tif_ = nullptr;
  std::vector<uint8_t> fill_;
  uint32_t filled_ = 0;
  uint32_t stored_ = 0;
};

}  // namespace

QString GigabyteText(uint64_t bytes) { return QString::number(double(bytes) / 1e9, 'f', 1) + QStringLiteral(" GB"); }

std::optional<uint64_t> FileBytes(const PlateLayout& l, const OutputForm& form) {
  if (!form.Plain()) return std::nullopt;
  const QByteArray header =
      TiffHeaderBytes(l.samples, int32_t(l.width), int32_t(l.rows), l.xResolutionE9, l.yResolutionE9, l.dateTime, l.iccProfile);
  return uint64_t(header.size()) + uint64_t(l.width) * uint64_t(l.rows) * l.samples;
}

void CheckFitsPlainTiff(const QString& what, int64_t width, int64_t rows, const QString& advice, int samples) {
  if (samples == 3 && (width > 65535 || rows > 65535))
    Fail(QStringLiteral("%1 of %2 x %3 pixels does not fit the plain RGB TIFF (at most 65535 pixels each way); %4")
             .arg(what).arg(width).arg(rows).arg(advice));
  const uint64_t bytes = uint64_t(width) * uint64_t(rows) * uint64_t(samples);
  if (bytes <= kClassicTiffLimit) return;
  Fail(QStringLiteral("%1 of %2 x %3 pixels at %4 does not fit a TIFF file (at most 4 GiB); %5")
           .arg(what).arg(width).arg(rows).arg(GigabyteText(bytes), advice));
}

namespace {

class MirroringPlate final : public PlateWriter {
 public:
  MirroringPlate(std::unique_ptr<PlateWriter> plate, int64_t width) : plate_(std::move(plate)), width_(size_t(width)) {}
  void Append(const uint8_t* rows, size_t count, size_t stride) override {
    mirrored_.resize(count * width_ * 4);
    for (size_t r = 0; r < count; ++r) {
      const uint8_t* in = rows + r * stride;
      uint8_t* out = mirrored_.data() + r * width_ * 4;
      size_t x = 0;
#if defined(__SSE2__)
      // Four pixels at a time, their order turned round.
      for (; x + 4 <= width_; x += 4) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * (width_ - 4 - x)), _mm_shuffle_epi32(four, 0x1B));
      }
#endif
      for (; x < width_; ++x) std::memcpy(out + 4 * (width_ - 1 - x), in + 4 * x, 4);
    }
    plate_->Append(mirrored_.data(), count, width_ * 4);
  }
  void Finish() override { plate_->Finish(); }
  OutputFile& file() override { return plate_->file(); }

 private:
  std::unique_ptr<PlateWriter> plate_;
  size_t width_;
  std::vector<uint8_t> mirrored_;
};

}  // namespace

std::unique_ptr<PlateWriter> MirroredPlate(std::unique_ptr<PlateWriter> plate, int64_t width) {
  return std::make_unique<MirroringPlate>(std::move(plate), width);
}

std::unique_ptr<PlateWriter> CreatePlateWriter(const QString& path, const PlateLayout& layout, const OutputForm& form,
                                               StripEncoders& encoders, const QString& advice, uint64_t classicLimit) {
  if (form.Plain()) return std::make_unique<PlainPlate>(path, layout);
  return std::make_unique<TiffPlate>(path, layout, form, encoders, advice, classicLimit);
}

namespace {

class PanelSplit final : public PlateWriter {
 public:
  explicit PanelSplit(std::vector<PanelPlate>& panels) : panels_(panels) {}
  void Append(const uint8_t* rows, size_t count, size_t stride) override {
    for (PanelPlate& panel : panels_) panel.plate->Append(rows + size_t(panel.first) * 4, count, stride);
  }
  void Finish() override {
    for (PanelPlate& panel : panels_) {
      AppendLevelRows(panel.caption, panel.width, *panel.plate, panel.rgb);
      panel.plate->Finish();
    }
  }
  OutputFile& file() override { return panels_.front().plate->file(); }

 private:
  std::vector<PanelPlate>& panels_;
};

}  // namespace

std::unique_ptr<PlateWriter> PanelsOf(std::vector<PanelPlate>& panels) { return std::make_unique<PanelSplit>(panels); }

}  // namespace plivora
