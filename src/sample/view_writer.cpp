#include "sample/view_writer.h"

#include <QFile>

#include "common/error.h"

namespace plivora {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> ViewFileBytes(uint32_t width, uint32_t height, const std::vector<uint8_t>& cmyk, bool inverted) {
  struct E { uint16_t tag, type; uint32_t count, value; };
  constexpr uint32_t kEntries = 11;
  const uint32_t bitsAt = 8 + 2 + kEntries * 12 + 4;
  const uint32_t dataAt = bitsAt + 8;
  const E entries[kEntries] = {
      {254, 4, 1, 0},          {256, 4, 1, width},        {257, 4, 1, height},
      {258, 3, 4, bitsAt},     {259, 3, 1, 1},            {262, 3, 1, 5},
      {273, 4, 1, dataAt},     {277, 3, 1, 4},            {278, 4, 1, height},
      {279, 4, 1, width * height * 4}, {284, 3, 1, 1},
  };
  std::vector<uint8_t> out;
  out.reserve(dataAt + cmyk.size());
  out.push_back('I');
  out.push_back('I');
  Put16(out, 42);
  Put32(out, 8);
  Put16(out, kEntries);
  for (const E& e : entries) {
    Put16(out, e.tag);
    Put16(out, e.type);
    Put32(out, e.count);
    Put32(out, e.value);
  }
  Put32(out, 0);
  for (int i = 0; i < 4; ++i) Put16(out, 8);
  for (uint8_t b : cmyk) out.push_back(inverted ? uint8_t(255 - b) : b);
  return out;
}

void WriteViewFile(const QString& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& cmyk,
                   bool inverted) {
  if (cmyk.size() != size_t(width) * height * 4)
    Fail(QStringLiteral("Cannot write the view \"%1\": %2 bytes of pixels for %3 x %4 pixels").arg(path).arg(cmyk.size()).arg(width).arg(height));
  const std::vector<uint8_t> bytes = ViewFileBytes(width, height, cmyk, inverted);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()) ||
      !file.flush())
    Fail(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

}  // namespace plivora
