#include "align/key_plane.h"

#include "common/error.h"

namespace plivora {

KeyRect DefaultKeyRect(uint32_t width, uint32_t height) {
  return {int64_t(width / 3), int64_t(height / 3), int64_t(width - 2 * (width / 3)), int64_t(height - 2 * (height / 3))};
}

void CheckKeyRect(const KeyRect& key, uint32_t width, uint32_t height) {
  if (key.x < 0 || key.y < 0 || key.x + key.width > int64_t(width) || key.y + key.height > int64_t(height))
    Fail(QStringLiteral("The key rectangle %1 does not lie inside the first view (%2 x %3 pixels)").arg(KeyRectText(key)).arg(width).arg(height));
  if (key.width < 16 || key.height < 16)
    Fail(QStringLiteral("The key rectangle %1 is too small to measure (at least 16 x 16 pixels)").arg(KeyRectText(key)));
}

KeyLine FitKeyLine(const std::vector<Real>& positions) {
  KeyLine line;
  const auto n = Real(positions.size());
  if (positions.empty()) return line;
  if (positions.size() == 1) {
    line.a = positions[0];
    return line;
  }
  Real sk = 0, sp = 0, skk = 0, skp = 0;
  for (size_t k = 0; k < positions.size(); ++k) {
    const auto kk = Real(k);
    sk += kk;
    sp += positions[k];
    skk += kk * kk;
    skp += kk * positions[k];
  }
  line.b = (n * skp - sk * sp) / (n * skk - sk * sk);
  line.a = (sp - line.b * sk) / n;
  return line;
}

}  // namespace plivora
