#include "proof/png_picture.h"

#include <QBuffer>
#include <QImageWriter>

#include "common/error.h"

namespace plivora {

QByteArray PngBytes(const QImage& picture) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(picture)) Fail(QStringLiteral("Cannot encode the proof as PNG: %1").arg(writer.errorString()));
  return bytes;
}

}  // namespace plivora
