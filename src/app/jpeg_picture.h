// Decodes a JPEG picture with libjpeg (the splash picture).
#pragma once

#include <QByteArray>
#include <QImage>

namespace plivora {

// The picture in `jpeg` as a 24-bit RGB image. Raises Error with libjpeg's
// message for data that is not a JPEG picture or ends early.
QImage DecodeJpeg(const QByteArray& jpeg);

}  // namespace plivora
