#include "drawing/sparse_image.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "common/error.h"

namespace plivora {

namespace {

[[noreturn]] void Refused(const char* what, int width, int height) {
  Fail(QStringLiteral("Not enough memory for the %1 (%2 x %3 pixels)").arg(QLatin1String(what)).arg(width).arg(height));
}

}  // namespace

SparseGrayImage::SparseGrayImage(const char* what, int width, int height) {
  if (width <= 0 || height <= 0) Refused(what, width, height);
  stride_ = (size_t(width) + 3) & ~size_t(3);  // rows start on 32-bit boundaries, as QImage wants
  if (stride_ > SIZE_MAX / size_t(height)) Refused(what, width, height);
  bytes_ = stride_ * size_t(height);
  // Private anonymous pages read 0 until written; MAP_NORESERVE keeps an
  // image of several gigabytes from counting against memory it never uses.
  void* p = ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) Refused(what, width, height);
  pixels_ = static_cast<unsigned char*>(p);
  image_ = QImage(pixels_, width, height, qsizetype(stride_), QImage::Format_Grayscale8);
  if (image_.isNull()) {
    ::munmap(pixels_, bytes_);
    Refused(what, width, height);
  }
}

SparseGrayImage::~SparseGrayImage() {
  image_ = QImage();
  ::munmap(pixels_, bytes_);
}

void SparseGrayImage::ReleaseRows(int first, int count) {
  if (first < 0 || count <= 0) return;
  const size_t page = size_t(::sysconf(_SC_PAGESIZE));
  const size_t begin = (size_t(first) * stride_ + page - 1) / page * page;
  const size_t end = std::min(bytes_, (size_t(first) + size_t(count)) * stride_) / page * page;
  // Only memory use depends on this succeeding, never the pixels.
  if (begin < end) ::madvise(pixels_ + begin, end - begin, MADV_DONTNEED);
}

}  // namespace plivora
