// Arithmetic and number-text rules shared by every subsystem.
//
// Every non-integer value is an x87 extended long double, computed one
// operation at a time in the written order. Conversions of these values to
// integers go through Round (nearest, ties to even) or Trunc. Two places
// compute otherwise, and say why their results are the same: the vector
// forms of the grey rule (single precision, pixel_rule.h) and libtiff's
// resolutions in the compressed forms (double, to about 10^-8 of the DPI).
#pragma once

#include <QChar>
#include <QString>
#include <cstdint>
#include <limits>

namespace plivora {

using Real = long double;
static_assert(std::numeric_limits<Real>::digits == 64,
              "the export's rounding rules need the 64-bit significand of x87 extended");

// Nearest integer, ties to even. A value outside int64 (or NaN) raises
// "Invalid floating point operation".
int64_t Round(Real value);
// Drops the fraction; same range rule as Round.
int64_t Trunc(Real value);
// a / b for whole numbers, to the nearest, ties to even: what
// Round(Real(a) / Real(b)) gives, without the extended division (the mean
// of b samples whose sum is a, for every pixel of a picture). b > 0.
inline uint64_t RoundedQuotient(uint64_t a, uint64_t b) {
  const uint64_t q = a / b, r = a % b;
  const uint64_t twice = 2 * r;  // r < b, so no overflow for b < 2^63
  return twice > b || (twice == b && (q & 1) != 0) ? q + 1 : q;
}
// a / b, raising "Floating point division by zero" for x / 0 and
// "Invalid floating point operation" for 0 / 0.
Real Divide(Real a, Real b);

// A decimal number as typed into a field: optional blanks, sign, digits with
// at most one decimal separator, optional exponent, optional blanks. Both "."
// and `localeSeparator` are accepted as the separator (fields never hold digit
// grouping). Anything else raises "'TEXT' is not a valid floating point value".
Real ParseFloat(const QString& text, QChar localeSeparator = QChar('.'));
// A 32-bit integer: optional leading blanks, optional sign, decimal digits.
// Anything else raises "'TEXT' is not a valid integer value".
int32_t ParseInt(const QString& text);

// A number text as typed under a locale, as files and the command line keep
// it: trimmed, `localeSeparator` turned into ".".
QString PortableNumberText(const QString& text, QChar localeSeparator);

// The general number form with up to 15 significant digits, as the height
// field shows it: 1.33333333333333, 3, 0.5, 1E-5.
QString FormatGeneral15(Real value, QChar decimalSeparator = QChar('.'));

}  // namespace plivora
