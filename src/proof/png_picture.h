// A proof as a PNG file's bytes, for the screen (sRGB, 8 bits a sample).
#pragma once

#include <QByteArray>
#include <QImage>

namespace plivora {

// Raises Error when the picture can't be encoded.
QByteArray PngBytes(const QImage& picture);

}  // namespace plivora
