#include "common/numbers.h"

#include <cmath>
#include <vector>

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

TEST(Round, GoesToNearestWithTiesToEven) {
  EXPECT_EQ(Round(2.5L), 2);
  EXPECT_EQ(Round(3.5L), 4);
  EXPECT_EQ(Round(-2.5L), -2);
  EXPECT_EQ(Round(2.4999L), 2);
  EXPECT_EQ(Round(7555555.5L), 7555556);
  EXPECT_EQ(Trunc(2.99L), 2);
  EXPECT_EQ(Trunc(-2.99L), -2);
}

// Round must give nearbyintl's result everywhere: ties at every magnitude,
// values a unit in the last place either side of them, and the ends of the
// range, where the sum with 2^63 itself rounds.
TEST(Round, MatchesNearbyintEverywhere) {
  std::vector<Real> values{0.0L, -0.0L, 0.5L, -0.5L, 1.5L, 0.49999999999999999995L, 0x1p62L + 0.5L, -0x1p62L - 1.5L,
                           0x1p63L - 1, -0x1p63L, 0x1p63L - 0.5L};
  uint64_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    const Real whole = std::ldexp(Real(seed >> 11), int(seed % 50)) / 0x1p53L;  // up to about 2^50
    const Real tie = std::floor(whole) + 0.5L;
    for (Real v : {whole, tie, std::nextafter(tie, 0.0L), std::nextafter(tie, 0x1p64L)})
      for (Real signed_ : {v, -v}) values.push_back(signed_);
  }
  for (Real v : values) {
    const Real expected = std::nearbyintl(v);
    if (expected >= 0x1p63L) {
      EXPECT_EQ(ErrorOf([v] { Round(v); }), "Invalid floating point operation") << double(v);
    } else {
      EXPECT_EQ(Round(v), int64_t(expected)) << double(v);
    }
  }
}

TEST(Round, RefusesValuesOutsideInt64) {
  EXPECT_EQ(ErrorOf([] { Round(1e19L); }), "Invalid floating point operation");
  EXPECT_EQ(ErrorOf([] { Trunc(-1e19L); }), "Invalid floating point operation");
  EXPECT_EQ(ErrorOf([] { Round(std::numeric_limits<Real>::quiet_NaN()); }), "Invalid floating point operation");
}

// The integer mean gives Round's answer to the extended quotient: ties to
// even (5 / 2 = 2, 7 / 2 = 4, 2550 / 20 = 127.5 -> 128), whatever the sizes.
TEST(RoundedQuotient, MatchesRoundOfTheQuotient) {
  EXPECT_EQ(RoundedQuotient(5, 2), 2u);
  EXPECT_EQ(RoundedQuotient(7, 2), 4u);
  EXPECT_EQ(RoundedQuotient(2550, 20), 128u);
  for (uint64_t b = 1; b < 300; b += 7)
    for (uint64_t a = 0; a < 255 * b; a += 1 + a / 64) EXPECT_EQ(RoundedQuotient(a, b), uint64_t(Round(Real(a) / Real(b)))) << a << " / " << b;
}

TEST(Divide, NamesZeroDivisors) {
  EXPECT_EQ(ErrorOf([] { Divide(1, 0); }), "Floating point division by zero");
  EXPECT_EQ(ErrorOf([] { Divide(0, 0); }), "Invalid floating point operation");
  EXPECT_EQ(Divide(3, 2), 1.5L);
}

TEST(ParseFloat, AcceptsDecimalTexts) {
  EXPECT_EQ(ParseFloat("75.5555555555555"), 75.5555555555555L);
  EXPECT_EQ(ParseFloat(" -2 "), -2.0L);
  EXPECT_EQ(ParseFloat("+.5"), 0.5L);
  EXPECT_EQ(ParseFloat("5."), 5.0L);
  EXPECT_EQ(ParseFloat("1e3"), 1000.0L);
  EXPECT_EQ(ParseFloat("2,5", QChar(',')), 2.5L);
  EXPECT_EQ(ParseFloat("2.5", QChar(',')), 2.5L);  // "." is always accepted
}

TEST(ParseFloat, RefusesEverythingElseNamingTheText) {
  for (const char* text : {"", " ", "abc", "1.2.3", "1,5", "1e", "--1", "1 2", "0x10", "inf", "nan"})
    EXPECT_EQ(ErrorOf([&] { ParseFloat(text); }), QStringLiteral("'%1' is not a valid floating point value").arg(text))
        << text;
  EXPECT_EQ(ErrorOf([] { ParseFloat("1e99999"); }), "'1e99999' is not a valid floating point value");
}

TEST(ParseInt, AcceptsSignedDecimalIntegers) {
  EXPECT_EQ(ParseInt("10"), 10);
  EXPECT_EQ(ParseInt("  -1"), -1);
  EXPECT_EQ(ParseInt("+266"), 266);
  EXPECT_EQ(ParseInt("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
}

TEST(ParseInt, RefusesFractionsTrailingTextAndOverflow) {
  for (const char* text : {"10.5", "", "1 ", "x", "2147483648", "99999999999999999999", "-"})
    EXPECT_EQ(ErrorOf([&] { ParseInt(text); }), QStringLiteral("'%1' is not a valid integer value").arg(text)) << text;
}

TEST(FormatGeneral15, WritesTheHeightFieldForm) {
  EXPECT_EQ(FormatGeneral15(2.0L / 15000 * 10000), "1.33333333333333");
  EXPECT_EQ(FormatGeneral15(3), "3");
  EXPECT_EQ(FormatGeneral15(0.5L), "0.5");
  EXPECT_EQ(FormatGeneral15(0), "0");
  EXPECT_EQ(FormatGeneral15(0.00001L), "1E-5");
  EXPECT_EQ(FormatGeneral15(0.5L, QChar(',')), "0,5");
}

// Under a comma locale the C library reads "2.9" as 2 and writes 2.5 as
// "2,5": a plate 3147 pixels wide instead of 4553 came out of that. Number
// text must not follow the C library's locale, in either direction.
TEST(NumberText, IgnoresTheCLibrarysLocale) {
  const test::CommaLocale comma;
  EXPECT_EQ(ParseFloat("2.9"), 2.9L);
  EXPECT_EQ(ParseFloat("75.5555555555555"), 75.5555555555555L);
  EXPECT_EQ(ParseFloat("2,5", QChar(',')), 2.5L);
  EXPECT_EQ(ParseFloat("1.5e-3"), 0.0015L);
  EXPECT_EQ(ErrorOf([] { ParseFloat("1,5"); }), "'1,5' is not a valid floating point value");
  EXPECT_EQ(FormatGeneral15(2.0L / 6667 * 10000), "2.99985000749963");
  EXPECT_EQ(FormatGeneral15(2.0L / 6667 * 10000, QChar(',')), "2,99985000749963");
  EXPECT_EQ(FormatGeneral15(0.00001L), "1E-5");
  EXPECT_EQ(ParseFloat(FormatGeneral15(2.0L / 6667 * 10000)), 2.99985000749963L);
}

}  // namespace
}  // namespace plivora
