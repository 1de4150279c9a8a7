#include "series/png_source.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "common/error.h"
#include "common/file_names.h"
#include "common/library_messages.h"
#include "series/exif_orientation.h"
#include "series/view_error.h"
#include "series/view_pixels.h"

namespace plivora {

namespace {

// The ancillary chunks the reader uses (a profile, EXIF) are refused by
// libpng past this, decompressed; the others are skipped unread (kSkipped).
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(8) << 20;

// Known ancillary chunks of no use to the reader, which libpng would
// otherwise read whole into memory whatever their claimed length: skipped
// like unknown chunks, without being kept.
const png_byte kSkipped[] = "tEXt\0zTXt\0iTXt\0sPLT\0pCAL\0sCAL\0hIST\0tIME\0pHYs\0oFFs\0bKGD\0sBIT";

// Reads a PNG with libpng, a row at a time, top to bottom. libpng raises its
// errors by longjmp: every call into it is made from a member that sets the
// jump point first and holds nothing that needs destroying, and the error's
// text is kept for our message.
class PngReader final : public SourceReader {
 public:
  PngReader(std::unique_ptr<SourceFile> file, DecodeBudget& budget);

  void ReadRow(uint32_t row, uint8_t* dest) override;
  void Start() override;
  // An interlaced image is decoded whole when it starts.
  bool ReadsDirectly() const override { return interlaced_; }
  bool HasAlpha() const override { return channels_ == 2 || channels_ == 4; }
  void ReadAlpha(uint8_t* dest) const override;

 private:
  bool ReadInfo();
  bool ReadNextRow();
  bool ReadWhole();
  void Emit(const uint8_t* raw, uint8_t* dest);
  [[noreturn]] void DecodeFailed(uint32_t row);

  static void OnError(png_structp png, png_const_charp text);
  static void OnWarning(png_structp png, png_const_charp text);
  static void ReadData(png_structp png, png_bytep data, size_t length);

  // libpng's structures, released also when the constructor refuses the
  // file half-way.
  struct Handles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Handles() { png_destroy_read_struct(&png, &info, nullptr); }
  };

  std::unique_ptr<SourceFile> file_;
  uint64_t pos_ = 0;
  LibraryMessages messages_;
  Handles handles_;
  png_structp png_ = nullptr;  // handles_.png
  png_infop info_ = nullptr;   // handles_.info
  uint32_t channels_ = 0;     // 1 grey, 2 grey and alpha, 3 RGB, 4 RGB and alpha
  uint32_t sampleBytes_ = 1;  // 2 for 16-bit samples, stored big-endian
  bool interlaced_ = false;
  size_t rowBytes_ = 0;
  std::vector<uint8_t> rows_;  // the last row decoded, or every row of an interlaced image
  std::vector<png_bytep> rowPointers_;  // into rows_, for an interlaced image
  int64_t decoded_ = -1;       // the last row decoded, -1 before the first
  const uint8_t* emitted_ = nullptr;  // the raw row handed out last
};

PngReader::PngReader(std::unique_ptr<SourceFile> file, DecodeBudget& budget)
    : file_(std::move(file)), messages_(NativeFileName(file_->path())) {
  image_.Path = file_->path();
  png_ = handles_.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
  if (png_) info_ = handles_.info = png_create_info_struct(png_);
  if (!png_ || !info_) Refuse(QStringLiteral("there is not enough memory to read it"));
  png_set_read_fn(png_, this, ReadData);
  png_set_chunk_malloc_max(png_, kMaxChunkBytes);
  png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, kSkipped, int(sizeof kSkipped / 5));
  if (!ReadInfo()) Refuse(QStringLiteral("libpng cannot read it (%1)").arg(messages_.Reason(QStringLiteral("no reason given"))));
  // libpng drops a profile it finds broken, with a warning: the view's
  // colours are then unknown, not sRGB. A profile it only warns about (an
  // old sRGB profile it knows for a wrong one) it keeps, and so do we.
  if (image_.Profile.isEmpty())
    for (const QString& warning : messages_.warnings())
      if (warning.startsWith(QLatin1String("iCCP")))
        Refuse(QStringLiteral("its embedded ICC profile cannot be used: %1").arg(warning));
  image_.Model = channels_ <= 2 ? ColourModel::kGrey : ColourModel::kRgb;
  // libpng keeps the row before (for its filters) besides the row it hands
  // out; an interlaced image is decoded whole, there being no other way.
  const uint64_t row = uint64_t(rowBytes_);
  const uint64_t whole = row * image_.Height;
  if (interlaced_)
    budget.Claim(whole + 2 * row, QStringLiteral("it is interlaced (Adam7), so it is decoded whole, in %1"));
  else
    budget.Claim(3 * row);
  rows_.resize(size_t(interlaced_ ? whole : row));
}

void PngReader::Start() {
  if (decoded_ != -1) return;
  try {
    ReadRow(0, nullptr);  // decoded now, handed out when the first row is asked for
  } catch (const Error&) {
    FailView(image_.Path, QStringLiteral("its pixel data cannot be decoded (PNG: %1)").arg(messages_.Reason(QStringLiteral("no reason given"))));
  }
}

// The header, the profile, and the forms the rows are to come in.
bool PngReader::ReadInfo() {
  if (setjmp(png_jmpbuf(png_))) return false;
  png_read_info(png_, info_);
  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(png_, info_, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
  image_.Width = width;
  image_.Height = height;
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profileBytes = 0;
  if (png_get_iCCP(png_, info_, &name, &compression, &profile, &profileBytes) && profile && profileBytes > 0)
    image_.Profile = QByteArray(reinterpret_cast<const char*>(profile), qsizetype(profileBytes));
  png_bytep exif = nullptr;
  png_uint_32 exifBytes = 0;
  if (png_get_eXIf_1(png_, info_, &exifBytes, &exif) && exif) image_.Orientation = ExifOrientation(exif, exifBytes);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png_);
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png_);
  if (png_get_valid(png_, info_, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png_);
  interlaced_ = interlace != PNG_INTERLACE_NONE;
  if (interlaced_) png_set_interlace_handling(png_);
  png_read_update_info(png_, info_);
  channels_ = png_get_channels(png_, info_);
  sampleBytes_ = png_get_bit_depth(png_, info_) == 16 ? 2 : 1;
  rowBytes_ = png_get_rowbytes(png_, info_);
  return channels_ >= 1 && channels_ <= 4 && rowBytes_ >= size_t(width) * channels_ * sampleBytes_;
}

bool PngReader::ReadNextRow() {
  if (setjmp(png_jmpbuf(png_))) return false;
  png_read_row(png_, rows_.data(), nullptr);
  return true;
}

bool PngReader::ReadWhole() {
  // The row pointers are ours, made before the jump point: nothing is left
  // to free when libpng jumps out of png_read_image.
  std::vector<png_bytep>& pointers = rowPointers_;
  pointers.resize(image_.Height);
  for (uint32_t r = 0; r < image_.Height; ++r) pointers[r] = rows_.data() + size_t(r) * rowBytes_;
  if (setjmp(png_jmpbuf(png_))) return false;
  png_read_image(png_, pointers.data());
  return true;
}

void PngReader::DecodeFailed(uint32_t row) {
  FailView(image_.Path, QStringLiteral("cannot decode row %1 (PNG): %2").arg(row).arg(messages_.Reason(QStringLiteral("the row cannot be read"))));
}

void PngReader::ReadRow(uint32_t row, uint8_t* dest) {
  if (row >= image_.Height) FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
  if (interlaced_) {
    if (decoded_ < 0) {
      messages_.Clear();
      if (!ReadWhole()) DecodeFailed(0);
      decoded_ = int64_t(image_.Height) - 1;
    }
    if (dest) Emit(rows_.data() + size_t(row) * rowBytes_, dest);
    return;
  }
  while (decoded_ < int64_t(row)) {
    messages_.Clear();
    if (!ReadNextRow()) {
      decoded_ = -2;  // the rows after a broken one are not to be had
      DecodeFailed(row);
    }
    ++decoded_;
  }
  if (decoded_ != int64_t(row)) DecodeFailed(row);
  if (dest) Emit(rows_.data(), dest);
}

void PngReader::ReadAlpha(uint8_t* dest) const {
  if (!HasAlpha() || !emitted_) return SourceReader::ReadAlpha(dest);
  const size_t pixel = size_t(channels_) * sampleBytes_;
  const uint8_t* a = emitted_ + pixel - sampleBytes_;
  for (uint32_t x = 0; x < image_.Width; ++x, a += pixel)
    dest[x] = sampleBytes_ == 2 ? Reduce16(uint32_t(a[0]) << 8 | a[1]) : a[0];
}

// One row as libpng hands it out, to four-byte pixels: 16-bit samples
// reduced, alpha laid over white.
void PngReader::Emit(const uint8_t* raw, uint8_t* dest) {
  emitted_ = raw;
  if (sampleBytes_ == 1 && channels_ == 3) {  // 8-bit RGB, as most photographs come: the samples as they are
    for (uint32_t x = 0; x < image_.Width; ++x, dest += 4, raw += 3) dest[0] = raw[0], dest[1] = raw[1], dest[2] = raw[2], dest[3] = 0;
    return;
  }
  const uint32_t colours = channels_ <= 2 ? 1 : 3;
  const bool alpha = channels_ == 2 || channels_ == 4;
  for (uint32_t x = 0; x < image_.Width; ++x, dest += 4) {
    uint32_t s[4];
    for (uint32_t c = 0; c < channels_; ++c, raw += sampleBytes_) s[c] = sampleBytes_ == 2 ? Reduce16(uint32_t(raw[0]) << 8 | raw[1]) : raw[0];
    for (uint32_t c = 0; c < 3; ++c) {
      const uint32_t v = s[colours == 1 ? 0 : c];
      dest[c] = alpha ? OverWhite(v, s[colours]) : uint8_t(v);
    }
    dest[3] = 0;
  }
}

void PngReader::OnError(png_structp png, png_const_charp text) {
  auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
  reader->messages_.AddError(QString::fromLatin1(text ? text : "no reason given"));
  png_longjmp(png, 1);
}

void PngReader::OnWarning(png_structp png, png_const_charp text) {
  static_cast<PngReader*>(png_get_error_ptr(png))->messages_.AddWarning(QString::fromLatin1(text ? text : ""));
}

void PngReader::ReadData(png_structp png, png_bytep data, size_t length) {
  auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
  bool read = false, failed = false;
  try {
    read = reader->file_->ReadAt(reader->pos_, data, length);
  } catch (const Error& e) {
    reader->messages_.AddError(e.message());
    failed = true;
  }
  if (failed) png_longjmp(png, 1);  // out of the handler first: nothing may jump out of one
  if (!read) png_error(png, "the file ends early");
  reader->pos_ += length;
}

}  // namespace

bool IsPng(const SourceFile& file) {
  uint8_t head[8];
  return file.ReadAt(0, head, sizeof head) && png_sig_cmp(head, 0, sizeof head) == 0;
}

std::unique_ptr<SourceReader> OpenPngSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget, bool start) {
  const QString path = file->path();
  DecodeBudget own;
  try {
    auto reader = std::make_unique<PngReader>(std::move(file), budget ? *budget : own);
    if (start) reader->Start();
    return reader;
  } catch (const Refusal& r) {
    FailView(path, r.reason);
  }
}

}  // namespace plivora
