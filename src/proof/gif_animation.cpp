#include "proof/gif_animation.h"

#include <gif_lib.h>

#include <unordered_map>
#include <vector>

#include "common/error.h"
#include "common/output_file.h"

namespace plivora {

namespace {

constexpr int kMaxSide = 65535;  // a GIF's sizes are 16-bit

struct ColourTable {
  ColorMapObject* map = nullptr;
  ~ColourTable() { GifFreeMapObject(map); }
};

// One frame as palette indices, and its palette padded to a power of two.
struct IndexedFrame {
  std::vector<GifColorType> colours;
  std::vector<GifByteType> indices;
};

// The frame's own colours when there are at most 256; nothing otherwise.
bool IndexExactly(const QImage& frame, IndexedFrame& out) {
  std::unordered_map<uint32_t, GifByteType> seen;
  for (int y = 0; y < frame.height(); ++y) {
    const uchar* p = frame.constScanLine(y);
    for (int x = 0; x < frame.width(); ++x, p += 3) {
      const uint32_t key = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      auto [it, added] = seen.try_emplace(key, GifByteType(seen.size()));
      if (added) {
        if (seen.size() > 256) return false;
        out.colours.push_back(GifColorType{p[0], p[1], p[2]});
      }
      out.indices.push_back(it->second);
    }
  }
  return true;
}

// Median cut into 256 colours.
bool Quantize(const QImage& frame, IndexedFrame& out) {
  const size_t pixels = size_t(frame.width()) * size_t(frame.height());
  std::vector<GifByteType> red(pixels), green(pixels), blue(pixels);
  for (int y = 0, i = 0; y < frame.height(); ++y) {
    const uchar* p = frame.constScanLine(y);
    for (int x = 0; x < frame.width(); ++x, p += 3, ++i) {
      red[size_t(i)] = p[0];
      green[size_t(i)] = p[1];
      blue[size_t(i)] = p[2];
    }
  }
  int size = 256;
  out.colours.assign(256, GifColorType{0, 0, 0});
  out.indices.assign(pixels, 0);
  if (GifQuantizeBuffer(unsigned(frame.width()), unsigned(frame.height()), &size, red.data(), green.data(), blue.data(),
                        out.indices.data(), out.colours.data()) != GIF_OK)
    return false;
  out.colours.resize(size_t(size));
  return true;
}

}  // namespace

GifAnimation::GifAnimation(OutputFile& file, int width, int height, int delay)
    : file_(file), width_(width), height_(height), delay_(delay) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
    Fail(QStringLiteral("A GIF holds pictures of 1 to %1 pixels a side; the proof is %2 x %3")
             .arg(kMaxSide).arg(width).arg(height));
  int error = 0;
  gif_ = EGifOpen(this, &GifAnimation::WriteBytes, &error);
  if (!gif_) Fail(QStringLiteral("Cannot write the GIF \"%1\": %2").arg(file_.targetPath(), QString::fromUtf8(GifErrorString(error))));
  EGifSetGifVersion(gif_, true);
  Check(EGifPutScreenDesc(gif_, width, height, 8, 0, nullptr), "its screen");
  // The loop: the application extension every browser and viewer reads.
  static const unsigned char kLoop[3] = {1, 0, 0};  // sub-block 1, repeat count 0: for ever
  Check(EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE), "its loop");
  Check(EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0"), "its loop");
  Check(EGifPutExtensionBlock(gif_, 3, kLoop), "its loop");
  Check(EGifPutExtensionTrailer(gif_), "its loop");
}

GifAnimation::~GifAnimation() {
  if (gif_) EGifCloseFile(gif_, nullptr);  // an unfinished file is never committed
}

// giflib's output callback: nothing may be thrown through it, so a failed
// write is kept and reported as a short one.
int GifAnimation::WriteBytes(GifFileType* gif, const unsigned char* bytes, int length) {
  auto* self = static_cast<GifAnimation*>(gif->UserData);
  try {
    self->file_.Write(bytes, uint64_t(length));
  } catch (const Error& e) {
    self->messages_.AddError(e.message());
    return 0;
  } catch (...) {
    self->messages_.AddError(QStringLiteral("Not enough memory to write the GIF"));
    return 0;
  }
  return length;
}

void GifAnimation::Check(int result, const char* what) {
  if (result == GIF_OK) return;
  const QString reason = messages_.Reason(QString::fromUtf8(GifErrorString(gif_->Error)));
  Fail(QStringLiteral("Cannot write %1 of the GIF \"%2\": %3").arg(QLatin1String(what), file_.targetPath(), reason));
}

void GifAnimation::AddFrame(const QImage& frame) {
  if (frame.width() != width_ || frame.height() != height_ || frame.format() != QImage::Format_RGB888)
    Fail(QStringLiteral("A frame of %1 x %2 does not fit the GIF's %3 x %4 (a fault in this program)")
             .arg(frame.width()).arg(frame.height()).arg(width_).arg(height_));
  IndexedFrame indexed;
  if (!IndexExactly(frame, indexed) && !Quantize(frame, indexed))
    Fail(QStringLiteral("Cannot write the GIF \"%1\": its colours cannot be reduced to 256").arg(file_.targetPath()));
  const int bits = GifBitSize(int(indexed.colours.size()));
  indexed.colours.resize(size_t(1) << bits, GifColorType{0, 0, 0});
  ColourTable table;
  table.map = GifMakeMapObject(int(indexed.colours.size()), indexed.colours.data());
  if (!table.map) Fail(QStringLiteral("Not enough memory to write the GIF \"%1\"").arg(file_.targetPath()));

  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_BACKGROUND;
  control.DelayTime = delay_;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const size_t extensionBytes = EGifGCBToExtension(&control, extension);
  Check(EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, int(extensionBytes), extension), "a frame's timing");
  Check(EGifPutImageDesc(gif_, 0, 0, width_, height_, false, table.map), "a frame");
  for (int y = 0; y < height_; ++y)
    Check(EGifPutLine(gif_, &indexed.indices[size_t(y) * size_t(width_)], width_), "a frame's pixels");
}

void GifAnimation::Finish() {
  int error = 0;
  GifFileType* gif = gif_;
  gif_ = nullptr;
  if (EGifCloseFile(gif, &error) != GIF_OK) {
    const QString reason = messages_.Reason(QString::fromUtf8(GifErrorString(error)));
    Fail(QStringLiteral("Cannot finish the GIF \"%1\": %2").arg(file_.targetPath(), reason));
  }
}

}  // namespace plivora
