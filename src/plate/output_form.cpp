#include "plate/output_form.h"

namespace plivora {

std::optional<Compression> CompressionFromName(const QString& name) {
  for (const Compression c : {Compression::None, Compression::PackBits, Compression::Lzw, Compression::Deflate})
    if (name == CompressionName(c)) return c;
  return std::nullopt;
}

QString CompressionName(Compression c) {
  switch (c) {
    case Compression::PackBits: return QStringLiteral("packbits");
    case Compression::Lzw: return QStringLiteral("lzw");
    case Compression::Deflate: return QStringLiteral("deflate");
    case Compression::None: break;
  }
  return QStringLiteral("none");
}

}  // namespace plivora
