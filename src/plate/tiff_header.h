// The header of the output TIFF: 8-byte file header, one directory of 17
// entries and the value area the entries point to, everything that precedes
// the pixel rows. Little-endian, uncompressed, one strip, 8 bits per sample.
// A plate that carries a colour profile gets an 18th entry (ICCProfile,
// tag 34675) and the profile's bytes after the Artist text; without one,
// the layout is exactly the 17 entries'.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <cstdint>

namespace plivora {

class OutputFile;

// The 20 bytes of the DateTime tag: the locale's short date, a space and its
// long time, cut to 20 bytes or followed by zero bytes up to 20.
QByteArray TiffDateTime(const QDateTime& now, const QLocale& locale);

// The Software and Artist texts every output carries.
QByteArray TiffSoftwareText();
QByteArray TiffArtistText();

// The header bytes. samples: 4 = CMYK, 3 = RGB, 0 = 1-bit bilevel.
// Resolutions are dots per inch * 10^9. Raises an error when a resolution
// numerator or the strip byte count would not fit its 32-bit field.
QByteArray TiffHeaderBytes(uint16_t samples, int32_t width, int32_t rows, int64_t xResolutionE9,
                           int64_t yResolutionE9, const QByteArray& dateTime, const QByteArray& iccProfile = {});

// Writes the header at offset 0 of `out` and returns the offset of the first
// pixel row (334 for CMYK), where the stream is left.
int32_t WriteTiffHeader(OutputFile& out, uint16_t samples, int32_t width, int32_t rows,
                        int64_t xResolutionE9, int64_t yResolutionE9, const QByteArray& dateTime,
                        const QByteArray& iccProfile = {});

}  // namespace plivora
