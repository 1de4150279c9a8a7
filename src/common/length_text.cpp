#include "common/length_text.h"

#include "common/error.h"

namespace plivora {

Real InchesPer(LengthUnit unit) {
  switch (unit) {
    case LengthUnit::kInch: return 1;
    case LengthUnit::kCm: return Divide(1, 2.54L);
    case LengthUnit::kMm: return Divide(1, 25.4L);
  }
  return 1;
}

Real ParseLengthInches(const QString& text, LengthUnit bareUnit, QChar localeSeparator) {
  // Longest first: "inch" before "in".
  static const std::pair<const char*, LengthUnit> kSuffixes[] = {
      {"inch", LengthUnit::kInch}, {"mm", LengthUnit::kMm}, {"cm", LengthUnit::kCm}, {"in", LengthUnit::kInch}};
  QString number = text.trimmed();
  LengthUnit unit = bareUnit;
  for (const auto& [suffix, suffixUnit] : kSuffixes)
    if (number.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
      number.chop(qsizetype(qstrlen(suffix)));
      unit = suffixUnit;
      break;
    }
  Real value = 0;
  try {
    value = ParseFloat(number.trimmed(), localeSeparator);
  } catch (const Error&) {
    Fail(QStringLiteral("'%1' is not a length: a number, with mm, cm or in after it unless it is in the unit in use")
             .arg(text));
  }
  return value * InchesPer(unit);
}

}  // namespace plivora
