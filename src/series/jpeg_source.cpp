#include "series/jpeg_source.h"

#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/error.h"
#include "common/library_messages.h"
#include "series/exif_orientation.h"
#include "series/view_error.h"

namespace plivora {

namespace {

constexpr size_t kChunk = size_t(64) << 10;  // bytes read from the file at a time

// Reads a JPEG with libjpeg, a row at a time, top to bottom. libjpeg raises
// its errors by longjmp: every call into it is made from a member that sets
// the jump point first and holds nothing that needs destroying, and the
// error's text is kept for our message. A warning about the data (a file
// that ends early, a corrupt segment) has lost pixels: it fails the row too.
class JpegReader final : public SourceReader {
 public:
  JpegReader(std::unique_ptr<SourceFile> file, DecodeBudget& budget);

  void ReadRow(uint32_t row, uint8_t* dest) override;
  void Start() override;

 private:
  // The error manager first: libjpeg finds it through the decompressor.
  struct Errors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    JpegReader* reader;
  };
  struct Source {
    jpeg_source_mgr manager;
    JpegReader* reader;
  };
  // libjpeg's decompressor, released also when the constructor refuses the
  // file half-way.
  struct Decompressor {
    jpeg_decompress_struct cinfo{};
    bool created = false;
    ~Decompressor() {
      if (created) jpeg_destroy_decompress(&cinfo);
    }
  };

  bool ReadHeader();
  void CheckDataCanHoldPicture() const;
  bool StartDecompress();
  bool ReadNextRow();
  void Emit(uint8_t* dest) const;
  [[noreturn]] void DecodeFailed(uint32_t row);

  static void OnError(j_common_ptr cinfo);
  static void OnMessage(j_common_ptr cinfo, int level);
  static void InitSource(j_decompress_ptr) {}
  static boolean FillBuffer(j_decompress_ptr cinfo);
  static void SkipData(j_decompress_ptr cinfo, long count);
  static void TermSource(j_decompress_ptr) {}

  std::unique_ptr<SourceFile> file_;
  LibraryMessages messages_;
  Errors errors_{};
  Source source_{};
  Decompressor decompressor_;
  jpeg_decompress_struct& cinfo_ = decompressor_.cinfo;
  uint64_t pos_ = 0;                // the file's next byte for the source
  bool ended_ = false;              // the file ended, and libjpeg was given an end marker
  std::vector<uint8_t> chunk_;      // what the source hands libjpeg
  bool inverted_ = false;           // CMYK stored inverted, as Adobe's programs write it
  std::vector<uint8_t> row_;        // the last row decoded, libjpeg's samples
  bool started_ = false;
  int64_t decoded_ = -1;
};

JpegReader::JpegReader(std::unique_ptr<SourceFile> file, DecodeBudget& budget)
    : file_(std::move(file)), chunk_(kChunk) {
  image_.Path = file_->path();
  cinfo_.err = jpeg_std_error(&errors_.manager);
  errors_.manager.error_exit = OnError;
  errors_.manager.emit_message = OnMessage;
  errors_.reader = this;
  source_.reader = this;
  source_.manager.init_source = InitSource;
  source_.manager.fill_input_buffer = FillBuffer;
  source_.manager.skip_input_data = SkipData;
  source_.manager.resync_to_restart = jpeg_resync_to_restart;
  source_.manager.term_source = TermSource;
  if (!ReadHeader()) Refuse(QStringLiteral("libjpeg cannot read it (%1)").arg(messages_.Reason(QStringLiteral("no reason given"))));
  CheckDataCanHoldPicture();
  // A progressive JPEG keeps the coefficients of the whole image until its
  // last scan; a sequential one a few rows of blocks.
  const uint64_t components = uint64_t(cinfo_.num_components);
  const uint64_t rowBytes = uint64_t(image_.Width) * components;
  const uint64_t blocks = cinfo_.progressive_mode
                              ? (uint64_t(image_.Width) + 15) / 8 * ((uint64_t(image_.Height) + 15) / 8) * 64 * 2 * components
                              : rowBytes * 16 * 3;
  budget.Claim(blocks + rowBytes + kChunk, cinfo_.progressive_mode
                                                ? QStringLiteral("it is a progressive JPEG, decoded whole, in %1")
                                                : QString());
  cinfo_.mem->max_memory_to_use = long(std::min<uint64_t>(blocks + rowBytes + (uint64_t(16) << 20), LONG_MAX));
  // RGB comes as four bytes a pixel, as the rows are handed out.
  row_.resize(size_t(image_.Width) * (image_.Model == ColourModel::kRgb ? 4 : size_t(components)));
}

// Each block of each component takes at least one bit in a Huffman-coded
// stream (its DC code), so a file shorter than that cannot hold the picture
// it claims: decoding it would make up the rest. Arithmetic coding has no
// such floor.
void JpegReader::CheckDataCanHoldPicture() const {
  if (cinfo_.arith_code) return;
  uint64_t blocks = 0;
  for (int c = 0; c < cinfo_.num_components; ++c)
    blocks += uint64_t(cinfo_.comp_info[c].width_in_blocks) * cinfo_.comp_info[c].height_in_blocks;
  if (blocks / 8 > file_->size())
    Refuse(QStringLiteral("its %1 bytes are too few for a picture of %2 x %3 pixels, which takes at least %4 bytes")
               .arg(file_->size()).arg(image_.Width).arg(image_.Height).arg(blocks / 8));
}

// libjpeg starts decoding: a progressive JPEG is read whole here. A warning
// (the file ends early, a corrupt segment) has lost pixels.
void JpegReader::Start() {
  if (started_) return;
  started_ = true;
  messages_.Clear();
  if (!StartDecompress() || !messages_.empty())
    FailView(image_.Path, QStringLiteral("libjpeg cannot decode it (%1)").arg(messages_.Reason(QStringLiteral("no reason given"))));
  try {
    ReadRow(0, nullptr);  // decoded now, handed out when the first row is asked for
  } catch (const Error&) {
    FailView(image_.Path, QStringLiteral("its pixel data cannot be decoded (JPEG: %1)").arg(messages_.Reason(QStringLiteral("no reason given"))));
  }
}

// The header, the profile and the colours the rows are to come in.
bool JpegReader::ReadHeader() {
  if (setjmp(errors_.jump)) return false;
  jpeg_create_decompress(&cinfo_);
  decompressor_.created = true;
  cinfo_.src = &source_.manager;
  jpeg_save_markers(&cinfo_, JPEG_APP0 + 2, 0xFFFF);  // where the ICC profile is
  jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);  // where EXIF is
  jpeg_read_header(&cinfo_, TRUE);
  for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m; m = m->next)
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      image_.Orientation = ExifOrientation(m->data + 6, m->data_length - 6);
      break;
    }
  JOCTET* profile = nullptr;
  unsigned int profileBytes = 0;
  if (jpeg_read_icc_profile(&cinfo_, &profile, &profileBytes) && profile) {
    image_.Profile = QByteArray(reinterpret_cast<const char*>(profile), qsizetype(profileBytes));
    std::free(profile);
  }
  switch (cinfo_.jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo_.out_color_space = JCS_GRAYSCALE;
      image_.Model = ColourModel::kGrey;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo_.out_color_space = JCS_CMYK;
      image_.Model = ColourModel::kCmyk;
      inverted_ = cinfo_.saw_Adobe_marker;
      break;
    default:
      // libjpeg's own four-byte RGB (its fourth byte filler): the same
      // colours as three-byte RGB, without a pass to spread them.
      cinfo_.out_color_space = JCS_EXT_RGBX;
      image_.Model = ColourModel::kRgb;
      break;
  }
  image_.Width = cinfo_.image_width;
  image_.Height = cinfo_.image_height;
  return image_.Width > 0 && image_.Height > 0;
}

bool JpegReader::StartDecompress() {
  if (setjmp(errors_.jump)) return false;
  jpeg_start_decompress(&cinfo_);
  return cinfo_.output_width == image_.Width && cinfo_.output_height == image_.Height &&
         cinfo_.output_components == (image_.Model == ColourModel::kGrey ? 1 : 4);
}

bool JpegReader::ReadNextRow() {
  if (setjmp(errors_.jump)) return false;
  JSAMPROW row = row_.data();
  return jpeg_read_scanlines(&cinfo_, &row, 1) == 1;
}

void JpegReader::DecodeFailed(uint32_t row) {
  FailView(image_.Path, QStringLiteral("cannot decode row %1 (JPEG): %2").arg(row).arg(messages_.Reason(QStringLiteral("the row cannot be read"))));
}

void JpegReader::ReadRow(uint32_t row, uint8_t* dest) {
  if (row >= image_.Height) FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
  if (!started_) Start();
  while (decoded_ < int64_t(row)) {
    messages_.Clear();
    if (decoded_ == -2 || !ReadNextRow() || !messages_.empty()) {
      decoded_ = -2;  // the rows after a broken one are not to be had
      DecodeFailed(row);
    }
    ++decoded_;
  }
  if (dest) Emit(dest);
}

void JpegReader::Emit(uint8_t* dest) const {
  const uint8_t* in = row_.data();
  const uint32_t width = image_.Width;
  switch (image_.Model) {
    case ColourModel::kGrey:
      for (uint32_t x = 0; x < width; ++x, dest += 4) dest[0] = dest[1] = dest[2] = in[x], dest[3] = 0;
      return;
    case ColourModel::kRgb:
    case ColourModel::kLab:  // not from a JPEG
      std::memcpy(dest, in, size_t(width) * 4);
      for (uint32_t x = 0; x < width; ++x) dest[4 * size_t(x) + 3] = 0;  // the filler
      return;
    case ColourModel::kCmyk: {
      const uint8_t flip = inverted_ ? 255 : 0;
      for (size_t i = 0; i < size_t(width) * 4; ++i) dest[i] = in[i] ^ flip;
      return;
    }
  }
}

void JpegReader::OnError(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<Errors*>(cinfo->err);
  char text[JMSG_LENGTH_MAX];
  cinfo->err->format_message(cinfo, text);
  errors->reader->messages_.AddError(QString::fromLatin1(text));
  std::longjmp(errors->jump, 1);
}

// Warnings about the data (level -1) are kept, and fail the row; the
// others are libjpeg's tracing, left out.
void JpegReader::OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  char text[JMSG_LENGTH_MAX];
  cinfo->err->format_message(cinfo, text);
  reinterpret_cast<Errors*>(cinfo->err)->reader->messages_.AddWarning(QString::fromLatin1(text));
}

boolean JpegReader::FillBuffer(j_decompress_ptr cinfo) {
  JpegReader& r = *reinterpret_cast<Source*>(cinfo->src)->reader;
  const uint64_t left = r.pos_ < r.file_->size() ? r.file_->size() - r.pos_ : 0;
  const size_t n = size_t(std::min<uint64_t>(left, kChunk));
  bool read = false, failed = false;
  try {
    read = n > 0 && r.file_->ReadAt(r.pos_, r.chunk_.data(), n);
  } catch (const Error& e) {
    r.messages_.AddError(e.message());
    failed = true;
  }
  if (failed) std::longjmp(reinterpret_cast<Errors*>(cinfo->err)->jump, 1);  // out of the handler first
  if (!read) {
    // The file has ended: an end-of-image marker, as libjpeg's own sources
    // give, and a warning, which fails the row.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    r.ended_ = true;
    r.chunk_[0] = 0xFF;
    r.chunk_[1] = JPEG_EOI;
    cinfo->src->next_input_byte = r.chunk_.data();
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
  }
  r.pos_ += n;
  cinfo->src->next_input_byte = r.chunk_.data();
  cinfo->src->bytes_in_buffer = n;
  return TRUE;
}

void JpegReader::SkipData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  JpegReader& r = *reinterpret_cast<Source*>(src)->reader;
  while (size_t(count) > src->bytes_in_buffer) {
    count -= long(src->bytes_in_buffer);
    FillBuffer(cinfo);
    if (r.ended_) return;  // nothing left to skip: libjpeg reads the end marker
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= size_t(count);
}

}  // namespace

bool IsJpeg(const SourceFile& file) {
  uint8_t head[3];
  return file.ReadAt(0, head, sizeof head) && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

std::unique_ptr<SourceReader> OpenJpegSource(std::unique_ptr<SourceFile> file, DecodeBudget* budget, bool start) {
  const QString path = file->path();
  DecodeBudget own;
  try {
    auto reader = std::make_unique<JpegReader>(std::move(file), budget ? *budget : own);
    if (start) reader->Start();
    return reader;
  } catch (const Refusal& r) {
    FailView(path, r.reason);
  }
}

}  // namespace plivora
