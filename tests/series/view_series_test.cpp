#include "series/view_series.h"

#include "support/test_support.h"

namespace plivora {
namespace {

TEST(ViewSeries, HeightFollowsWidthThroughTheAspect) {
  EXPECT_EQ(PhotoAspect(3000, 2000), 15000);
  EXPECT_EQ(PhotoAspect(1000, 1500), 6667);
  EXPECT_EQ(HeightFromWidth("2", 15000), "1.33333333333333");
  EXPECT_EQ(HeightFromWidth("2", 6667), "2.99985000749963");
  EXPECT_EQ(HeightFromWidth("3", 10000), "3");
  EXPECT_EQ(HeightFromWidth("2,5", 10000, QChar(',')), "2,5");
  EXPECT_EQ(test::ErrorOf([] { HeightFromWidth("", 15000); }), "'' is not a valid floating point value");
  EXPECT_EQ(test::ErrorOf([] { HeightFromWidth("2", 0); }), "Floating point division by zero");
}

TEST(ViewSeries, ExtensionIsTheTextFromTheLastDot) {
  EXPECT_EQ(PathExtension("/a/view1.tif"), ".tif");
  EXPECT_EQ(PathExtension("/a/b.c/view"), "");
  EXPECT_EQ(PathExtension("/a/view.tar.GJS"), ".GJS");
  EXPECT_EQ(PathExtension("C:\\a.b\\view"), "");
  EXPECT_TRUE(IsNegativeExtension(".gjs"));
  EXPECT_TRUE(IsNegativeExtension(".GJS"));
  EXPECT_FALSE(IsNegativeExtension(".Gjs"));
}

}  // namespace
}  // namespace plivora
