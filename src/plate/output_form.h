// The forms a plate's file can take: the classic file, or compressed and
// BigTIFF forms written by libtiff.
#pragma once

#include <QString>
#include <optional>

namespace plivora {

enum class Compression { None, PackBits, Lzw, Deflate };

// "none", "packbits", "lzw" or "deflate"; nothing for any other text.
std::optional<Compression> CompressionFromName(const QString& name);
QString CompressionName(Compression c);

struct OutputForm {
  Compression compression = Compression::None;
  bool bigTiff = false;
  bool Plain() const { return compression == Compression::None && !bigTiff; }
};

}  // namespace plivora
