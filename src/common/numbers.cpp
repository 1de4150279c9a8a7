#include "common/numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstring>

#include "common/error.h"

namespace plivora {

namespace {

constexpr Real kTwo63 = 9223372036854775808.0L;

void CheckInt64Range(Real value) {
  if (!(value >= -kTwo63 && value < kTwo63)) Fail(QStringLiteral("Invalid floating point operation"));
}

[[noreturn]] void NotAFloat(const QString& text) {
  Fail(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

bool IsBlank(QChar c) { return c == QChar(' ') || c == QChar('\t'); }

// The "C" locale for the C library's number functions. The desktop program
// runs under the user's locale (the toolkit calls setlocale), and a comma
// locale would make strtold stop at the ".": number text never depends on it.
locale_t CLocale() {
  static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
  return c;
}

}  // namespace

int64_t Round(Real value) {
  CheckInt64Range(value);
  // Past 2^63 the 64-bit significand holds no fraction, so adding 2^63
  // rounds to a whole number in the current rounding mode (never changed
  // from round-to-nearest-even in this program), and taking it away again
  // is exact: nearbyintl's result, without its saving and restoring of the
  // floating-point environment, which cost a small export 1 ms of set-up.
  const Real big = value < 0 ? -kTwo63 : kTwo63;
  const Real r = (value + big) - big;
  CheckInt64Range(r);
  return static_cast<int64_t>(r);
}

int64_t Trunc(Real value) {
  CheckInt64Range(value);
  return static_cast<int64_t>(value);
}

Real Divide(Real a, Real b) {
  if (b == 0) {
    if (a == 0 || std::isnan(a)) Fail(QStringLiteral("Invalid floating point operation"));
    Fail(QStringLiteral("Floating point division by zero"));
  }
  return a / b;
}

Real ParseFloat(const QString& text, QChar localeSeparator) {
  int i = 0;
  const int n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  std::string normal;
  if (i < n && (text[i] == QChar('+') || text[i] == QChar('-'))) normal += char(text[i++].unicode());
  int digits = 0;
  while (i < n && text[i].isDigit() && text[i].unicode() < 128) { normal += char(text[i++].unicode()); ++digits; }
  if (i < n && (text[i] == QChar('.') || text[i] == localeSeparator)) {
    normal += '.';
    ++i;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) { normal += char(text[i++].unicode()); ++digits; }
  }
  if (digits == 0) NotAFloat(text);
  if (i < n && (text[i] == QChar('e') || text[i] == QChar('E'))) {
    normal += 'e';
    ++i;
    if (i < n && (text[i] == QChar('+') || text[i] == QChar('-'))) normal += char(text[i++].unicode());
    int expDigits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) { normal += char(text[i++].unicode()); ++expDigits; }
    if (expDigits == 0) NotAFloat(text);
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) NotAFloat(text);
  // The "C" form built above, read whole whatever the user's locale.
  char* end = nullptr;
  const Real value = ::strtold_l(normal.c_str(), &end, CLocale());
  if (end != normal.c_str() + normal.size() || std::isinf(value)) NotAFloat(text);
  return value;
}

int32_t ParseInt(const QString& text) {
  int i = 0;
  const int n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == QChar('+') || text[i] == QChar('-'))) negative = text[i++] == QChar('-');
  int64_t value = 0;
  int digits = 0;
  while (i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
    value = value * 10 + (text[i++].unicode() - '0');
    ++digits;
    if (value > int64_t(1) << 31) break;
  }
  if (negative) value = -value;
  if (digits == 0 || i != n || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max())
    Fail(QStringLiteral("'%1' is not a valid integer value").arg(text));
  return static_cast<int32_t>(value);
}

QString PortableNumberText(const QString& text, QChar localeSeparator) {
  QString t = text.trimmed();
  if (localeSeparator != QChar('.')) t.replace(localeSeparator, QChar('.'));
  return t;
}

QString FormatGeneral15(Real value, QChar decimalSeparator) {
  if (value == 0) return QStringLiteral("0");
  // to_chars writes "%.15Lg" of the "C" locale, whatever the user's locale.
  char buffer[64];
  const std::to_chars_result written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  QString text = QString::fromLatin1(buffer, written.ptr - buffer);
  // "%g" writes 1e-05; the field's form is 1E-5.
  const int e = text.indexOf(QChar('e'));
  if (e >= 0) {
    QString mantissa = text.left(e);
    QString exponent = text.mid(e + 1);
    const bool negative = exponent.startsWith(QChar('-'));
    exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith(QChar('0'))) exponent.remove(0, 1);
    text = mantissa + QStringLiteral("E") + (negative ? QStringLiteral("-") : QString()) + exponent;
  }
  text.replace(QChar('.'), decimalSeparator);
  return text;
}

QString SystemErrorText(int errnum) { return QString::fromLocal8Bit(std::strerror(errnum)); }

}  // namespace plivora
