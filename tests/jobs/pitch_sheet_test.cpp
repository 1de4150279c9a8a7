#include "jobs/pitch_sheet.h"

#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

QStringList LpiTexts(const PitchSheetPlan& plan) {
  QStringList texts;
  for (const PitchStrip& s : plan.strips) texts << s.lpiText;
  return texts;
}

TEST(PitchSheet, CoarseAndFineSheetsStepAroundTheNominalLpi) {
  PitchSheetTexts t;
  const PitchSheetPlan coarse = PlanPitchSheet(t);
  EXPECT_EQ(LpiTexts(coarse).join(' '),
            "75.0555555555555 75.1555555555555 75.2555555555555 75.3555555555555 75.4555555555555 "
            "75.5555555555555 75.6555555555555 75.7555555555555 75.8555555555555 75.9555555555555 "
            "76.0555555555555");
  for (size_t k = 0; k < coarse.strips.size(); ++k) EXPECT_EQ(coarse.strips[k].nominal, k == 5) << k;
  // 0.7 inch of header and 0.2 inch of label at 400 dpi down the sheet,
  // then 0.5 inch of pattern: 200 rows.
  EXPECT_EQ(coarse.strips[0].firstRow, 280 + 80);
  EXPECT_EQ(coarse.strips[0].lastRow, 280 + 80 + 199);
  EXPECT_EQ(coarse.strips[1].firstRow, 280 + 80 + 200 + 80);
  EXPECT_EQ(coarse.imageRows, 280 + 11 * 280);
  EXPECT_EQ(coarse.captionRows, 80);
  EXPECT_EQ(coarse.headerText,
            QString::fromUtf8("Print at 100 % \u2014 4000 x 400 dpi \u2014 LPI from 75.0555555555555 to "
                              "76.0555555555555 step 0.1"));

  t.lpi = "75.40595";
  t.range = "0.1";
  t.step = "0.01";
  const QStringList fine = LpiTexts(PlanPitchSheet(t));
  ASSERT_EQ(fine.size(), 21);
  EXPECT_EQ(fine.first(), "75.30595");
  EXPECT_EQ(fine[10], "75.40595");
  EXPECT_EQ(fine[11], "75.41595");
  EXPECT_EQ(fine.last(), "75.50595");

  t.range = "0.3";  // 0.3 / 0.1 falls a hair below 3 in binary: still 7 strips
  t.step = "0.1";
  EXPECT_EQ(PlanPitchSheet(t).strips.size(), 7u);
}

TEST(PitchSheet, PhaseSheetShiftsByEighthsOfALens) {
  PitchSheetTexts t;
  t.phase = true;
  const PitchSheetPlan plan = PlanPitchSheet(t);
  ASSERT_EQ(plan.strips.size(), 8u);
  // 4000 / 75.5555555555555 = 52.94 columns a lens.
  const int64_t shifts[] = {0, 7, 13, 20, 26, 33, 40, 46};
  for (size_t k = 0; k < 8; ++k) {
    EXPECT_EQ(plan.strips[k].lpiText, "75.5555555555555");
    EXPECT_EQ(plan.strips[k].label, QStringLiteral("phase %1/8").arg(k));
    EXPECT_EQ(plan.strips[k].shift, shifts[k]) << k;
  }
}

TEST(PitchSheet, RefusesSheetsThatCannotWorkBeforeWriting) {
  const auto refusal = [](auto change) {
    PitchSheetTexts t;
    change(t);
    return ErrorOf([&] { PlanPitchSheet(t); });
  };
  EXPECT_EQ(refusal([](auto& t) { t.step = "0"; }), "The step \"0\" must be above 0");
  EXPECT_EQ(refusal([](auto& t) { t.step = "-0.1"; }), "The step \"-0.1\" must be above 0");
  EXPECT_EQ(refusal([](auto& t) { t.step = "0.01"; }),
            "A pitch test holds at most 60 strips; a range of 0.5 in steps of 0.01 gives 101");
  EXPECT_EQ(refusal([](auto& t) { t.range = "1e30"; }),
            "A pitch test holds at most 60 strips; a range of 1e30 in steps of 0.1 needs more");
  EXPECT_EQ(refusal([](auto& t) { t.lpi = "2"; t.range = "2"; t.step = "1"; }),
            "The lowest LPI of the sheet, 0, is not above 0; narrow the range");
  EXPECT_EQ(refusal([](auto& t) { t.strip = "0.02"; }), "A strip of 0.02 gives 8 image rows; strips need at least 10");
  // Every strip would fit a file of its own; the eleven together do not.
  EXPECT_TRUE(refusal([](auto& t) { t.width = "40"; t.strip = "2"; })
                  .startsWith("A sheet of 159988 x 10040 pixels at 6.4 GB does not fit a TIFF file (at most 4 GiB); use fewer"));
  EXPECT_EQ(refusal([](auto& t) { t.dpi = "(Auto)"; }),
            "A pitch test prints at the plate setter's DPI; type it instead of (Auto)");
  // What the export refuses, in its words.
  EXPECT_EQ(refusal([](auto& t) { t.compress = "x"; }), "'x' is not a valid integer value");
  EXPECT_EQ(refusal([](auto& t) { t.range = "a"; }), "'a' is not a valid floating point value");
  EXPECT_TRUE(refusal([](auto& t) { t.dpi = "50000"; t.width = "0.5"; }).startsWith("A resolution of 50000 dpi"));
}

}  // namespace
}  // namespace plivora
