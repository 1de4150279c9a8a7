#include "app/jpeg_picture.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstdio>
#include <csetjmp>
#include <jpeglib.h>

#include "common/error.h"

namespace plivora {

namespace {

// libjpeg reports errors through a callback that must not return; it jumps
// back to DecodeJpeg, which turns the message into an Error after libjpeg's
// state is released. No C++ object with a destructor lives between the
// setjmp and the longjmp.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->jump, 1);
}

// Decodes into `image`, which the caller owns; returns false on an error,
// with the message in manager.message.
bool Decode(const QByteArray& jpeg, QImage& image, ErrorManager& manager) {
  jpeg_decompress_struct info;
  info.err = jpeg_std_error(&manager.base);
  manager.base.error_exit = OnJpegError;
  manager.message[0] = '\0';
  if (setjmp(manager.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.scanLine(int(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& jpeg) {
  if (jpeg.isEmpty()) Fail(QStringLiteral("The picture is empty"));
  QImage image;
  ErrorManager manager;
  if (!Decode(jpeg, image, manager))
    Fail(QStringLiteral("The picture cannot be decoded: %1").arg(QString::fromLocal8Bit(manager.message)));
  return image;
}

}  // namespace plivora
