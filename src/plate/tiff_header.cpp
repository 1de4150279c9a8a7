#include "plate/tiff_header.h"

#include "common/error.h"
#include "common/numbers.h"
#include "common/output_file.h"

namespace plivora {

namespace {

constexpr uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7;
constexpr uint16_t kIccProfileTag = 34675;

// 58 characters, then two zero bytes, make the 60-byte Software text.
constexpr char kSoftware[] = "Plivora " PLIVORA_VERSION " lenticular interlacer by vexo";
// Exactly 12 characters, no terminating zero.
constexpr char kArtist[] = "vexo Plivora";
static_assert(sizeof kSoftware - 1 <= 58);
static_assert(sizeof kArtist - 1 == 12);

void Put16(QByteArray& out, uint16_t v) {
  out.append(char(v & 0xFF));
  out.append(char(v >> 8));
}
void Put32(QByteArray& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}
void PutEntry(QByteArray& out, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  Put16(out, tag);
  Put16(out, type);
  Put32(out, count);
  Put32(out, value);
}

// dpi * 10^9 becomes the numerator over 100000: dpi * 100000, ties to even.
uint32_t ResolutionNumerator(int64_t resolutionE9, const char* axis) {
  const int64_t numerator = Round(Divide(Real(resolutionE9), 10000));
  if (numerator < 0 || numerator > int64_t(UINT32_MAX))
    Fail(QStringLiteral("The %1 resolution of %2 dpi does not fit the TIFF header (at most 42949.67 dpi)")
             .arg(QLatin1String(axis))
             .arg(FormatGeneral15(Divide(Real(resolutionE9), 1000000000))));
  return uint32_t(numerator);
}

}  // namespace

QByteArray TiffSoftwareText() { return QByteArray(kSoftware); }
QByteArray TiffArtistText() { return QByteArray(kArtist); }

QByteArray TiffDateTime(const QDateTime& now, const QLocale& locale) {
  // The long time format of some locales names the time zone; the tag
  // carries the clock time only.
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  timeFormat.remove(QChar('t'));
  timeFormat = timeFormat.trimmed();
  QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
  if (locale.language() == QLocale::C) {
    dateFormat = QStringLiteral("yyyy-MM-dd");
    timeFormat = QStringLiteral("HH:mm:ss");
  }
  QByteArray text = (locale.toString(now.date(), dateFormat) + QChar(' ') + locale.toString(now.time(), timeFormat))
                        .toLocal8Bit();
  text.resize(20, '\0');
  return text;
}

QByteArray TiffHeaderBytes(uint16_t samples, int32_t width, int32_t rows, int64_t xResolutionE9,
                           int64_t yResolutionE9, const QByteArray& dateTime, const QByteArray& iccProfile) {
  const uint32_t n = samples;
  const uint32_t xNumerator = ResolutionNumerator(xResolutionE9, "horizontal");
  const uint32_t yNumerator = ResolutionNumerator(yResolutionE9, "vertical");
  const uint64_t rowBytes = n == 0 ? (uint64_t(uint32_t(width)) + 7) / 8 : uint64_t(uint32_t(width)) * n;
  const uint64_t stripBytes = rowBytes * uint32_t(rows);
  if (width <= 0 || rows <= 0 || stripBytes > UINT32_MAX)
    Fail(QStringLiteral("An image of %1 x %2 pixels does not fit a TIFF file (at most 4 GiB of pixel data)")
             .arg(width).arg(rows));
  if (n == 3 && (width > 65535 || rows > 65535))
    Fail(QStringLiteral("An RGB image of %1 x %2 pixels does not fit the TIFF header").arg(width).arg(rows));

  // 17 entries, and an 18th for a profile: the value area follows them.
  if (uint64_t(iccProfile.size()) > UINT32_MAX / 2)
    Fail(QStringLiteral("A colour profile of %1 bytes does not fit the TIFF header").arg(iccProfile.size()));
  const uint32_t profileBytes = uint32_t(iccProfile.size());
  const uint16_t entries = profileBytes > 0 ? 18 : 17;
  const uint32_t bitsAt = 8 + 2 + entries * 12 + 4;  // 218 without a profile
  const uint32_t xResAt = bitsAt + 2 * n, yResAt = xResAt + 8;
  const uint32_t softwareAt = yResAt + 8, dateAt = softwareAt + 60, artistAt = dateAt + 20;
  const uint32_t profileAt = artistAt + 12;
  const uint32_t pixelsAt = profileAt + profileBytes;
  const uint16_t sizeType = n == 3 ? kShort : kLong;

  QByteArray out;
  out.reserve(int(pixelsAt));
  Put16(out, 0x4949);
  Put16(out, 42);
  Put32(out, 8);
  Put16(out, entries);
  PutEntry(out, 254, kLong, 1, 0);
  PutEntry(out, 256, sizeType, 1, uint32_t(width));
  PutEntry(out, 257, sizeType, 1, uint32_t(rows));
  PutEntry(out, 258, kShort, n == 0 ? 1 : n, n == 0 ? 1 : bitsAt);
  PutEntry(out, 259, kShort, 1, 1);
  PutEntry(out, 262, kShort, 1, n == 4 ? 5 : n == 0 ? 0 : 2);
  PutEntry(out, 273, kLong, 1, pixelsAt);
  PutEntry(out, 277, kShort, 1, n == 0 ? 1 : n);
  PutEntry(out, 278, kLong, 1, uint32_t(rows));
  PutEntry(out, 279, kLong, 1, uint32_t(stripBytes));
  PutEntry(out, 282, kRational, 1, xResAt);
  PutEntry(out, 283, kRational, 1, yResAt);
  PutEntry(out, 284, kShort, 1, 1);
  PutEntry(out, 296, kShort, 1, 2);
  PutEntry(out, 305, kAscii, 60, softwareAt);
  PutEntry(out, 306, kAscii, 20, dateAt);
  PutEntry(out, 315, kAscii, 12, artistAt);
  if (profileBytes > 0) PutEntry(out, kIccProfileTag, kUndefined, profileBytes, profileAt);
  Put32(out, 0);
  for (uint32_t i = 0; i < n; ++i) Put16(out, 8);
  Put32(out, xNumerator);
  Put32(out, 100000);
  Put32(out, yNumerator);
  Put32(out, 100000);
  QByteArray software(kSoftware);
  software.resize(58, ' ');
  out.append(software);
  out.append(2, '\0');
  QByteArray date = dateTime;
  date.resize(20, '\0');
  out.append(date);
  out.append(kArtist, 12);
  out.append(iccProfile);
  return out;
}

int32_t WriteTiffHeader(OutputFile& out, uint16_t samples, int32_t width, int32_t rows,
                        int64_t xResolutionE9, int64_t yResolutionE9, const QByteArray& dateTime,
                        const QByteArray& iccProfile) {
  const QByteArray header = TiffHeaderBytes(samples, width, rows, xResolutionE9, yResolutionE9, dateTime, iccProfile);
  out.Seek(0);
  out.Write(header.constData(), uint64_t(header.size()));
  return int32_t(out.Position());
}

}  // namespace plivora
