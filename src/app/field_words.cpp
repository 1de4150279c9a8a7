#include "app/field_words.h"

#include "app/wording.h"

namespace plivora {

QString FieldName(const QString& option) {
  const OptionEntry* o = FindExportOption(option);
  return o && !o->en.isEmpty() ? Words(o->en, o->zh) : option;
}

QString UnitWord(bool inch) {
  return inch ? Words(QStringLiteral("in"), QStringLiteral("英寸")) : Words(QStringLiteral("cm"), QStringLiteral("厘米"));
}

QString FieldWords(const OptionError& e, bool vertical) {
  const QString field = FieldName(e.option());
  const OptionEntry* o = FindExportOption(e.option());
  const QString width = vertical ? Words(QStringLiteral("width"), QStringLiteral("宽度")) : Words(QStringLiteral("height"), QStringLiteral("高度"));
  const QString height = vertical ? Words(QStringLiteral("height"), QStringLiteral("高度")) : Words(QStringLiteral("width"), QStringLiteral("宽度"));
  switch (e.problem()) {
    case Problem::kNotANumber:
      if (o && o->kind == OptionKind::kLength)
        return Words(QStringLiteral("%1 \"%2\" is not a length, such as %3"), QStringLiteral("%1 “%2”不是长度，应如 %3"))
            .arg(field, e.text(), o->fallback);
      return Words(QStringLiteral("%1 is not a number"), QStringLiteral("%1 不是数字")).arg(field);
    case Problem::kNotAWholeNumber:
      return Words(QStringLiteral("%1 is not a whole number"), QStringLiteral("%1 不是整数")).arg(field);
    case Problem::kNegative:
    case Problem::kZero: return Words(QStringLiteral("%1 must be above 0"), QStringLiteral("%1 必须大于 0")).arg(field);
    case Problem::kOutOfRange: return Words(QStringLiteral("%1 is out of range"), QStringLiteral("%1 超出范围")).arg(field);
    case Problem::kNotAChoice:
      return Words(QStringLiteral("%1 \"%2\" is not one of its choices"), QStringLiteral("%1 “%2”不在可选项中")).arg(field, e.text());
    case Problem::kNotInRange:
      return Words(QStringLiteral("%1 takes a number from %2 to %3"), QStringLiteral("%1 须为 %2 到 %3 的整数"))
          .arg(field).arg(o ? o->low : 0).arg(o ? o->high : 0);
    case Problem::kNotAPart:
      return Words(QStringLiteral("%1 \"%2\" must be at least 0 and below 1, as 0.375 or 3/8"),
                   QStringLiteral("%1 “%2”须不小于 0 且小于 1，如 0.375 或 3/8"))
          .arg(field, e.text());
    case Problem::kNotALength:
      return Words(QStringLiteral("%1 \"%2\" must be a length from 0 to 10 inches, in the window's unit or with mm, cm or in"),
                   QStringLiteral("%1 “%2”须为 0 到 10 英寸的长度，用窗口的单位，或带 mm、cm、in"))
          .arg(field, e.text());
    case Problem::kNotWithinBounds:
      return Words(QStringLiteral("%1 must be %2, not \"%3\""), QStringLiteral("%1 须%2，不能是“%3”"))
          .arg(field, o ? Words(o->boundsEn, o->boundsZh) : QString(), e.text());
    case Problem::kNotAText: return Words(QStringLiteral("%1 cannot be used"), QStringLiteral("%1 不可用")).arg(field);
    case Problem::kNoWholeLens:
      return Words(QStringLiteral("The %1 holds no whole lens at this LPI"), QStringLiteral("%1 容不下一条完整的光栅")).arg(width);
    case Problem::kNoPixel: return Words(QStringLiteral("The DPI is too low for this LPI"), QStringLiteral("输出精度对此线数太低"));
    case Problem::kNoRow:
      return Words(QStringLiteral("The %1 gives no image %2: raise it or the DPI, or lower the compress factor"),
                   QStringLiteral("%1 不足一%2：加大它或输出精度，或减小压缩倍数"))
          .arg(height, vertical ? Words(QStringLiteral("row"), QStringLiteral("行")) : Words(QStringLiteral("column"), QStringLiteral("列")));
  }
  return e.message();
}

}  // namespace plivora
