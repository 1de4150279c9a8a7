#include "common/length_text.h"

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

struct LengthCase {
  const char* text;
  LengthUnit bare;
  Real inches;
};

// Units in any case, blanks around them, bare numbers in the unit in use.
TEST(ParseLengthInches, ReadsANumberAndItsUnit) {
  const LengthCase cases[] = {
      {"0.46mm", LengthUnit::kInch, 0.46L / 25.4L}, {"600 MM", LengthUnit::kInch, 600 / 25.4L},
      {"0.3cm", LengthUnit::kInch, 0.3L / 2.54L},   {"0.3Cm", LengthUnit::kInch, 0.3L / 2.54L},
      {"0.125in", LengthUnit::kCm, 0.125L},         {"2 inch", LengthUnit::kCm, 2},
      {"2INCH", LengthUnit::kMm, 2},                {" 1e1mm ", LengthUnit::kInch, 10 / 25.4L},
      {"3", LengthUnit::kCm, 3 / 2.54L},            {"3", LengthUnit::kInch, 3},
      {"3", LengthUnit::kMm, 3 / 25.4L},            {"-5mm", LengthUnit::kInch, -5 / 25.4L},
      {"1000000mm", LengthUnit::kInch, 1000000 / 25.4L},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.text);
    const Real got = ParseLengthInches(QString::fromLatin1(c.text), c.bare);
    EXPECT_NEAR(double(got), double(c.inches), 1e-15 * std::max(1.0, double(c.inches)));
  }
}

TEST(ParseLengthInches, RefusesWhatIsNoLength) {
  for (const char* text : {"", "mm", "3 m", "3 mmm", "3mm mm", "3,5mm", "three", "3 feet", "1e99999in", "in3"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorOf([&] { ParseLengthInches(QString::fromLatin1(text), LengthUnit::kCm); }),
              QStringLiteral("'%1' is not a length: a number, with mm, cm or in after it unless it is in the unit in use")
                  .arg(QString::fromLatin1(text)));
  }
}

// The C library's locale never decides what a length is.
TEST(ParseLengthInches, IgnoresACommaLocale) {
  test::CommaLocale comma;
  EXPECT_EQ(ParseLengthInches(QStringLiteral("0.125in"), LengthUnit::kCm), 0.125L);
  EXPECT_EQ(ErrorOf([] { ParseLengthInches(QStringLiteral("0,125in"), LengthUnit::kCm); }).isEmpty(), false);
  EXPECT_EQ(ParseLengthInches(QStringLiteral("0,125in"), LengthUnit::kCm, QChar(',')), 0.125L);
}

}  // namespace
}  // namespace plivora
