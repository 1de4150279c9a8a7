// The key rectangle as typed, and the line the key plane is held to.
#include "align/key_plane.h"

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

TEST(KeyPlane, ReadsTheRectangle) {
  EXPECT_EQ(ParseKeyRect(QStringLiteral("10,20,300,200")), (KeyRect{10, 20, 300, 200}));
  EXPECT_EQ(ParseKeyRect(QStringLiteral(" 0, 5 ,16,17 ")), (KeyRect{0, 5, 16, 17}));
  for (const char* bad : {"10,20,300", "10,20,300,200,1", "10,20,0,200", "a,b,c,d", "10.5,20,300,200", "10,20,-3,200", ""})
    EXPECT_EQ(ErrorOf([&] { ParseKeyRect(QString::fromLatin1(bad)); }),
              QStringLiteral("The key rectangle \"%1\" is not X,Y,W,H in the first view's pixels (four whole numbers, W "
                             "and H above 0)").arg(QString::fromLatin1(bad)))
        << bad;
  EXPECT_EQ(DefaultKeyRect(1500, 2250), (KeyRect{500, 750, 500, 750}));
  EXPECT_EQ(DefaultKeyRect(100, 50), (KeyRect{33, 16, 34, 18}));
  EXPECT_EQ(ErrorOf([] { CheckKeyRect({0, 0, 10, 40}, 100, 100); }),
            QStringLiteral("The key rectangle 0,0,10,40 is too small to measure (at least 16 x 16 pixels)"));
  EXPECT_EQ(ErrorOf([] { CheckKeyRect({-1, 0, 40, 40}, 100, 100); }),
            QStringLiteral("The key rectangle -1,0,40,40 does not lie inside the first view (100 x 100 pixels)"));
}

// The line goes through positions that lie on one, and a single stray
// position moves it by its share only.
TEST(KeyPlane, FitsALineToThePositions) {
  struct Case {
    std::vector<Real> positions;
    Real a, b;
  };
  const std::vector<Case> cases = {
      {{0, -3, -6, -9, -12}, 0, -3},
      {{1.5L, 1.5L, 1.5L}, 1.5L, 0},
      {{0, -3, -6, -7, -12}, 0, -2.8L},  // one view 2 pixels off: the line moves under a pixel anywhere
      {{4}, 4, 0},
  };
  for (const Case& c : cases) {
    const KeyLine line = FitKeyLine(c.positions);
    EXPECT_NEAR(double(line.a), double(c.a), 1e-9);
    EXPECT_NEAR(double(line.b), double(c.b), 1e-9);
  }
}

}  // namespace
}  // namespace plivora
