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
  // Qt's PNG quality is zlib's level turned round: 80 gives level 1, which
  // packs a proof's flat runs nearly as small in a fraction of the time.
  writer.setQuality(80);
  if (!writer.write(picture)) Fail(QStringLiteral("Cannot encode the proof as PNG: %1").arg(writer.errorString()));
  return bytes;
}

}  // namespace plivora
