#include "series/view_series.h"

#include "common/numbers.h"

namespace plivora {

int64_t PhotoAspect(uint32_t width, uint32_t height) {
  return Round(Divide(Real(width), Real(height)) * 10000);
}

QString HeightFromWidth(const QString& widthText, int64_t photoAspect, QChar decimalSeparator) {
  const Real width = ParseFloat(widthText, decimalSeparator);
  return FormatGeneral15(Divide(width, Real(photoAspect)) * 10000, decimalSeparator);
}

QString PathExtension(const QString& path) {
  const int dot = path.lastIndexOf(QChar('.'));
  if (dot < 0) return QString();
  const QString tail = path.mid(dot);
  if (tail.contains(QChar('/')) || tail.contains(QChar('\\')) || tail.contains(QChar(':'))) return QString();
  return tail;
}

bool IsNegativeExtension(const QString& extension) {
  return extension == QLatin1String(".gjs") || extension == QLatin1String(".GJS");
}

}  // namespace plivora
