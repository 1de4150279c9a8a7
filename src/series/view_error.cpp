#include "series/view_error.h"

#include "common/error.h"

namespace plivora {

void Refuse(const QString& reason) { throw Refusal{reason}; }

QString ViewErrorText(const QString& path, const QString& reason) {
  return QStringLiteral("Cannot read view \"%1\": %2").arg(path, reason);
}

void FailView(const QString& path, const QString& reason) { Fail(ViewErrorText(path, reason)); }

QString CompressionName(uint32_t compression) {
  switch (compression) {
    case 1: return QStringLiteral("uncompressed");
    case 2: case 3: case 4: return QStringLiteral("CCITT fax");
    case 5: return QStringLiteral("LZW");
    case 6: case 7: return QStringLiteral("JPEG");
    case 8: case 32946: return QStringLiteral("Deflate");
    case 32773: return QStringLiteral("PackBits");
    case 34712: return QStringLiteral("JPEG 2000");
    case 34925: return QStringLiteral("LZMA");
    case 50000: return QStringLiteral("Zstandard");
    case 50001: return QStringLiteral("WebP");
    default: return QStringLiteral("compression %1").arg(compression);
  }
}

QString SizeText(uint64_t bytes) {
  if (bytes < (uint64_t(1) << 20)) return QStringLiteral("%1 KiB").arg((bytes >> 10) + ((bytes & 0x3FF) != 0));
  return QStringLiteral("%1 MiB").arg((bytes >> 20) + ((bytes & 0xFFFFF) != 0));
}

}  // namespace plivora
