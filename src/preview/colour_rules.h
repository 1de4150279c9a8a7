// The previews' colour rules: CMYK bytes to RGB, and RGB to grey.
//
// Work bitmaps hold CMYK: a 32-bit QImage whose four bytes per pixel are C,
// M, Y, K in memory order, exactly as LoadSourceBitmap leaves them; Qt never
// interprets them as colours. Pictures for the screen are 24-bit RGB888
// (bytes R, G, B).
#pragma once

#include <QImage>

namespace plivora {

// The format of the CMYK work bitmaps. Not premultiplied, so that no Qt
// conversion could ever touch the fourth byte (K).
inline constexpr QImage::Format kCmykFormat = QImage::Format_ARGB32;
// The format of frames and anaglyph pictures.
inline constexpr QImage::Format kPictureFormat = QImage::Format_RGB888;

// Gives `rgb` the size of `cmyk` in kPictureFormat and writes every pixel:
// red = max(0, 255 - C - K), green = max(0, 255 - M - K),
// blue = max(0, 255 - Y - K). `cmyk` must be 32 bits per pixel.
void CmykToRgb(const QImage& cmyk, QImage& rgb);

// Turns a work bitmap of an RGB or grey view (bytes R, G, B, 0) into the
// CMYK bytes 255 - R, 255 - G, 255 - B, 0, which CmykToRgb turns back into
// R, G, B exactly: such views show as they are, and the rest of the preview
// (padding with paper, the anaglyph) has one kind of bitmap to handle.
void RgbAsInks(QImage& bitmap);

// Turns a kPictureFormat picture grey in place: each pixel's red, green and
// blue become round(0.3 R + 0.59 G + 0.11 B), ties to even.
void ToGray(QImage& rgb);

}  // namespace plivora
