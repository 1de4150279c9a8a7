#include "interlace/export_geometry.h"
#include "plate/plate_writer.h"

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

ExportTexts WorkedExample() {
  ExportTexts t;
  t.inch = true;
  t.dpi = "4000";
  t.lpi = "75.5555555555555";
  t.width = "2";
  t.height = "3";
  t.compress = "10";
  return t;
}

struct GeometryCase {
  const char* name;
  ExportTexts texts;
  int views;
  int64_t lpiE9, dpiE9, widthE4, heightE4;
  int compress;
  int64_t lensCount, outputWidth, printRows, outputRows, stripRows, yResolutionE9;
  int64_t rowStepE9, columnStepE9, viewStepE8;
};

ExportTexts With(ExportTexts t, void (*change)(ExportTexts&)) {
  change(t);
  return t;
}

// One table of parameter sets, each run through parsing and geometry with
// 12 views of 1000 x 1500 pixels.
const GeometryCase kCases[] = {
    {"worked example", WorkedExample(), 12, 75555555556, 4000000000000, 20000, 30000, 10,
     151, 7994, 12000, 1200, 80, 400000000000, 1250000000, 125093820, 22666667},
    {"auto dpi", With(WorkedExample(), [](ExportTexts& t) { t.dpi = "(Auto)"; }), 12, 75555555556, 906666666672,
     20000, 30000, 10, 151, 1812, 2720, 272, 18, 90666666667, 5514705882, 551876380, 100000000},
    {"centimetres", With(WorkedExample(), [](ExportTexts& t) { t.inch = false; t.width = "5.08"; t.height = "7.62"; }),
     12, 75555555556, 4000000000000, 20000, 30000, 10, 151, 7994, 12000, 1200, 80, 400000000000, 1250000000,
     125093820, 22666667},
    {"compress 0 is 1", With(WorkedExample(), [](ExportTexts& t) { t.compress = "0"; }), 12, 75555555556,
     4000000000000, 20000, 30000, 1, 151, 7994, 12000, 12000, 800, 4000000000000, 125000000, 125093820, 22666667},
    {"compress 266 is 10", With(WorkedExample(), [](ExportTexts& t) { t.compress = "266"; }), 12, 75555555556,
     4000000000000, 20000, 30000, 10, 151, 7994, 12000, 1200, 80, 400000000000, 1250000000, 125093820, 22666667},
    {"compress -1 is 255", With(WorkedExample(), [](ExportTexts& t) { t.compress = "-1"; }), 12, 75555555556,
     4000000000000, 20000, 30000, 255, 151, 7994, 12000, 47, 3, 15686274510, 31914893617, 125093820, 22666667},
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

class Geometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(Geometry, FollowsTheParameterTexts) {
  const GeometryCase& c = GetParam();
  const ExportParameters p = ParseParameters(c.texts, c.views);
  EXPECT_EQ(p.photoCount, c.views);
  EXPECT_EQ(p.lpiE9, c.lpiE9);
  EXPECT_EQ(p.dpiE9, c.dpiE9);
  EXPECT_EQ(p.widthE4, c.widthE4);
  EXPECT_EQ(p.heightE4, c.heightE4);
  EXPECT_EQ(p.compress, c.compress);
  const ExportGeometry g = ComputeGeometry(p, 1000, 1500);
  EXPECT_EQ(g.lensCount, c.lensCount);
  EXPECT_EQ(g.outputWidth, c.outputWidth);
  EXPECT_EQ(g.printRows, c.printRows);
  EXPECT_EQ(g.outputRows, c.outputRows);
  EXPECT_EQ(g.stripRows, c.stripRows);
  EXPECT_EQ(g.yResolutionE9, c.yResolutionE9);
  EXPECT_EQ(g.rowStepE9, c.rowStepE9);
  EXPECT_EQ(g.columnStepE9, c.columnStepE9);
  EXPECT_EQ(g.viewStepE8, c.viewStepE8);
}

INSTANTIATE_TEST_SUITE_P(Export, Geometry, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name = info.param.name;
  for (char& ch : name)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

TEST(Geometry, WorkedExampleSamplesColumnsAndRows) {
  const ExportGeometry g = ComputeGeometry(ParseParameters(WorkedExample(), 12), 1000, 1500);
  EXPECT_EQ(g.SourceColumn(4), 1u);
  EXPECT_EQ(g.SourceColumn(7992), 999u);  // the formula gives 1000: held inside the view
  EXPECT_EQ(g.SourceColumn(7993), 999u);
  EXPECT_EQ(g.SourceRow(3), 4u);
  EXPECT_EQ(g.SourceRow(841), 1051u);
  EXPECT_EQ(g.SourceRow(855), 1069u);
  EXPECT_EQ(g.SourceRow(1199), 1499u);
}

TEST(ColumnViewMap, WorkedExampleViewsAndFractions) {
  const ExportGeometry g = ComputeGeometry(ParseParameters(WorkedExample(), 12), 1000, 1500);
  const ColumnViewMap map = BuildColumnViewMap(g, 12);
  ASSERT_EQ(map.viewIndex.size(), 7995u);
  ASSERT_EQ(map.viewFraction.size(), 7994u);
  const std::pair<int, std::pair<int, int>> columns[] = {
      {1, {0, 2267}}, {4, {0, 9067}}, {5, {1, 1333}}, {52, {11, 7867}}, {53, {0, 133}}};
  for (const auto& [i, expected] : columns) {
    EXPECT_EQ(map.viewIndex[i], expected.first) << "column " << i;
    EXPECT_EQ(map.viewFraction[i], expected.second) << "column " << i;
  }
  EXPECT_EQ(map.viewIndex[7994], 11);
}

TEST(ColumnViewMap, AutoDpiShowsViewIModuloTheCount) {
  ExportTexts t = WorkedExample();
  t.dpi = "(Auto)";
  const ExportGeometry g = ComputeGeometry(ParseParameters(t, 12), 1000, 1500);
  const ColumnViewMap map = BuildColumnViewMap(g, 12);
  for (int i = 0; i < g.outputWidth; ++i) {
    ASSERT_EQ(map.viewIndex[i], i % 12) << i;
    ASSERT_EQ(map.viewFraction[i], 0) << i;
  }
}

TEST(Parameters, ConversionErrorsNameTheText) {
  const auto parse = [](void (*change)(ExportTexts&)) {
    return ErrorOf([&] { ParseParameters(With(WorkedExample(), change), 12); });
  };
  EXPECT_EQ(parse([](ExportTexts& t) { t.compress = "10.5"; }), "'10.5' is not a valid integer value");
  EXPECT_EQ(parse([](ExportTexts& t) { t.lpi = "abc"; }), "'abc' is not a valid floating point value");
  EXPECT_EQ(parse([](ExportTexts& t) { t.dpi = "(auto)"; }), "'(auto)' is not a valid floating point value");
  EXPECT_EQ(parse([](ExportTexts& t) { t.width = ""; }), "'' is not a valid floating point value");
  EXPECT_EQ(parse([](ExportTexts& t) { t.height = "1e30"; }), "Invalid floating point operation");
  EXPECT_TRUE(parse([](ExportTexts& t) { t.width = "-2"; }).contains("negative"));
}

TEST(Parameters, SeriesOfNoneOrMoreThan255ViewsIsRefused) {
  EXPECT_TRUE(ErrorOf([] { ParseParameters(WorkedExample(), 0); }).contains("no views"));
  EXPECT_TRUE(ErrorOf([] { ParseParameters(WorkedExample(), 256); }).contains("255"));
  EXPECT_EQ(ParseParameters(WorkedExample(), 255).photoCount, 255);
}

TEST(Geometry, ZeroDivisorsStopWithArithmeticErrors) {
  const auto geometry = [](void (*change)(ExportTexts&)) {
    return ErrorOf([&] { ComputeGeometry(ParseParameters(With(WorkedExample(), change), 12), 1000, 1500); });
  };
  EXPECT_EQ(geometry([](ExportTexts& t) { t.height = "0.001"; }), "Floating point division by zero");  // rows < compress
  EXPECT_EQ(geometry([](ExportTexts& t) { t.width = "0.005"; }), "Floating point division by zero");  // no lens
  EXPECT_EQ(geometry([](ExportTexts& t) { t.lpi = "0"; }), "Floating point division by zero");
  EXPECT_EQ(geometry([](ExportTexts& t) { t.dpi = "0"; }), "Floating point division by zero");
}

TEST(Geometry, RefusesOutputsBeyondTheTiffLimits) {
  ExportTexts huge = WorkedExample();
  huge.width = "40";
  huge.height = "60";
  huge.compress = "1";
  // 159988 x 240800 pixels at 154.1 GB: a BigTIFF or panels hold it, the plain
  // file does not; the geometry itself still works out.
  const ExportGeometry big = ComputeGeometry(ParseParameters(huge, 12), 1000, 1500);
  EXPECT_EQ(ErrorOf([&] { CheckFitsPlainTiff("An output", big.outputWidth, big.fileRows(), "ADVICE"); }),
            QStringLiteral("An output of %1 x %2 pixels at 154.1 GB does not fit a TIFF file (at most 4 GiB); ADVICE")
                .arg(big.outputWidth).arg(big.fileRows()));
  // At 4 GiB exactly less one byte's worth of pixels, it fits.
  EXPECT_NO_THROW(CheckFitsPlainTiff("An output", 65536, 16383, "ADVICE"));
  EXPECT_TRUE(ErrorOf([] { CheckFitsPlainTiff("An output", 65536, 16384, "ADVICE"); }).contains("at 4.3 GB"));
  // Rows are 32-bit in every TIFF.
  ExportTexts tall = WorkedExample();
  tall.height = "3000000";
  tall.compress = "1";
  EXPECT_TRUE(ErrorOf([&] { ComputeGeometry(ParseParameters(tall, 12), 1000, 1500); }).contains("does not fit a TIFF file"));
  ExportTexts sharp = WorkedExample();
  sharp.dpi = "50000";
  sharp.width = "0.1";
  sharp.height = "0.1";
  EXPECT_TRUE(ErrorOf([&] { ComputeGeometry(ParseParameters(sharp, 12), 1000, 1500); }).contains("42949.67"));
}

// Cuts are lens starts (the view sequence begins again at view 1), the one
// nearest to k x width / N, and the panels cover the print once; with the
// pattern moved on by a phase, they are that pattern's lens starts.
TEST(Panels, CutsFallOnTheLensStartNearestToEqualShares) {
  ExportTexts t;
  t.inch = true;
  const int views = 12;
  const ExportParameters p = ParseParameters(t, views);
  const PlateGeometry plate = ComputePlate(p, Lenses::kVertical, 1000, 1500);
  const ExportGeometry& g = plate.lens;
  for (const int64_t shift : {0, 7, 30}) {
    const ColumnViewMap map = BuildColumnViewMap(g, views, shift);
    std::vector<int64_t> starts{0};
    for (int64_t i = 1; i < g.outputWidth; ++i)
      if (map.viewIndex[size_t(i)] < map.viewIndex[size_t(i - 1)]) starts.push_back(i);
    for (int n = 1; n <= 9; ++n) {
      const std::vector<int64_t> cuts = PanelCuts(plate, views, n, shift);
      ASSERT_EQ(cuts.size(), size_t(n) + 1);
      EXPECT_EQ(cuts.front(), 0);
      EXPECT_EQ(cuts.back(), g.outputWidth);
      for (int k = 1; k < n; ++k) {
        const int64_t cut = cuts[size_t(k)];
        EXPECT_TRUE(std::binary_search(starts.begin(), starts.end(), cut)) << shift << ": " << n << " " << k;
        for (const int64_t s : starts)  // none nearer, and the left one of two as near
          EXPECT_TRUE(std::abs(s * n - k * g.outputWidth) > std::abs(cut * n - k * g.outputWidth) ||
                      (std::abs(s * n - k * g.outputWidth) == std::abs(cut * n - k * g.outputWidth) && s >= cut))
              << shift << ": " << n << " " << k << " " << s;
      }
    }
    // One lens a panel will do (when the lenses are alike); one panel more
    // will not.
    if (shift == 0) {
      EXPECT_EQ(PanelCuts(plate, views, int(starts.size()), shift).size(), starts.size() + 1);
    }
    EXPECT_TRUE(ErrorOf([&] { PanelCuts(plate, views, int(starts.size()) + 1, shift); }).contains("too few to cut into"));
  }
  // Across horizontal lenses any column is a lens boundary: equal shares.
  const PlateGeometry across = ComputePlate(p, Lenses::kHorizontal, 1000, 1500);
  EXPECT_EQ(PanelCuts(across, views, 3), (std::vector<int64_t>{0, Round(Real(across.width) / 3), Round(Real(across.width) * 2 / 3), across.width}));
}

// A bleed in the plate's unit or its own, from 0 to 10 inches; the image is
// the trim size and the bleed on both sides.
TEST(Geometry, BleedTextsAndTheBledSize) {
  struct Case {
    const char* text;
    bool inch;
    int64_t e4;  // -1: refused
  };
  const Case cases[] = {
      {"0.125", true, 1250}, {"3mm", true, 1181},  {"0.3cm", true, 1181}, {"0.125in", false, 1250},
      {"2", false, 7874},    {"25.4", false, 100000}, {"10.01", true, -1}, {"-0.1", true, -1},
      {"x", true, -1},       {"3 furlongs", true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.e4 < 0)
      EXPECT_TRUE(ErrorOf([&] { BleedE4(c.text, c.inch); }).startsWith(QStringLiteral("The bleed \"")));
    else
      EXPECT_EQ(BleedE4(c.text, c.inch), c.e4);
  }
  ExportTexts t = WorkedExample();
  t.bleed = "0.125";
  const ExportParameters p = ParseParameters(t, 12);
  EXPECT_EQ(p.widthE4, 22500);
  EXPECT_EQ(p.heightE4, 32500);
  EXPECT_EQ(p.TrimWidthE4(), 20000);
}

}  // namespace
}  // namespace plivora
