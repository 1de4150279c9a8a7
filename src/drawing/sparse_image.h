// An 8-bit grey image that may be far larger than memory: its pixels are
// address space reserved up front and backed page by page only where they
// are written, and handed back row range by row range. A painter keeps the
// coordinates of the whole image while only a band of it is ever in memory.
#pragma once

#include <QImage>
#include <cstddef>

namespace plivora {

class SparseGrayImage {
 public:
  // Rows not yet written read 0. Raises "Not enough memory for the WHAT
  // (W x H pixels)" when the system refuses the address space.
  SparseGrayImage(const char* what, int width, int height);
  ~SparseGrayImage();
  SparseGrayImage(const SparseGrayImage&) = delete;
  SparseGrayImage& operator=(const SparseGrayImage&) = delete;

  // Format_Grayscale8 over the reserved pixels; owned by this object.
  QImage& image() { return image_; }
  // Gives back the memory of the whole pages inside rows [first, first + count):
  // their contents are lost. Rows outside the range keep theirs.
  void ReleaseRows(int first, int count);

 private:
  unsigned char* pixels_ = nullptr;
  size_t bytes_ = 0;
  size_t stride_ = 0;
  QImage image_;
};

}  // namespace plivora
