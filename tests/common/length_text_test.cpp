#include "common/length_text.h"

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

// Units in any case, blanks around them; bare numbers in the unit in use.
TEST(ParseLengthInches, ReadsANumberAndItsUnit) {
  const std::tuple<const char*, LengthUnit, Real> cases[] = {
      {"0.46mm", LengthUnit::kInch, 0.46L / 25.4L}, {"600 MM", LengthUnit::kInch, 600 / 25.4L},
      {"0.3Cm", LengthUnit::kInch, 0.3L / 2.54L},   {"0.125in", LengthUnit::kCm, 0.125L},
      {"2 inch", LengthUnit::kCm, 2},               {" 1e1mm ", LengthUnit::kInch, 10 / 25.4L},
      {"3", LengthUnit::kCm, 3 / 2.54L},            {"3", LengthUnit::kInch, 3},
      {"-5", LengthUnit::kMm, -5 / 25.4L},
  };
  for (const auto& [text, bare, inches] : cases)
    EXPECT_NEAR(double(ParseLengthInches(QString::fromLatin1(text), bare)), double(inches), 1e-15) << text;
}

TEST(ParseLengthInches, RefusesWhatIsNoLength) {
  for (const char* text : {"", "mm", "3 m", "3 mmm", "3mm mm", "3,5mm", "3 feet", "1e99999in", "in3"})
    EXPECT_EQ(ErrorOf([&] { ParseLengthInches(QString::fromLatin1(text), LengthUnit::kCm); }),
              QStringLiteral("'%1' is not a length: a number, with mm, cm or in after it unless it is in the unit in use")
                  .arg(QString::fromLatin1(text)));
}

// The C library's locale never decides what a length is; a field may
// accept its own separator.
TEST(ParseLengthInches, IgnoresACommaLocale) {
  test::CommaLocale comma;
  EXPECT_EQ(ParseLengthInches(QStringLiteral("0.125in"), LengthUnit::kCm), 0.125L);
  EXPECT_EQ(ParseLengthInches(QStringLiteral("0,125in"), LengthUnit::kCm, QChar(',')), 0.125L);
}

}  // namespace
}  // namespace plivora
