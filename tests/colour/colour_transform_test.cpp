// A view's rows converted with the memo of colours met before: the pixels
// are always the transform's own, whatever the memo holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

#include "colour/colour_transform.h"
#include "colour/icc_profile.h"

namespace plivora {
namespace {

std::vector<uint8_t> Direct(const ColourTransform& transform, const std::vector<uint8_t>& row) {
  std::vector<uint8_t> out(row.size());
  transform.Convert(row.data(), out.data(), row.size() / 4);
  return out;
}

// Rows that meet the memo empty, full of their own colours, and full of
// colours that share its slots with theirs.
TEST(RowConversion, GivesTheTransformsPixelsWhateverTheMemoHolds) {
  const IccProfile cmyk = IccProfile::FromFile(QString::fromLatin1(kDefaultCmykProfile), ColourModel::kCmyk, QStringLiteral("the CMYK profile"));
  struct Case {
    const char* name;
    const IccProfile& from;
    const IccProfile& to;
  };
  const IccProfile srgb = IccProfile::Srgb(), grey = IccProfile::Grey22();
  for (const Case& c : {Case{"RGB to CMYK", srgb, cmyk}, Case{"CMYK to RGB", cmyk, srgb}, Case{"grey to CMYK", grey, cmyk}}) {
    SCOPED_TRACE(c.name);
    auto transform = std::make_shared<const ColourTransform>(c.from, c.to, Intent::kRelative);
    RowConversion conversion(transform);
    std::mt19937 random(5);
    const auto pixel = [&](uint32_t value) {
      std::vector<uint8_t> p = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
      if (c.from.model() != ColourModel::kCmyk) p[3] = 0;
      if (c.from.model() == ColourModel::kGrey) p[1] = p[2] = p[0];
      return p;
    };
    std::vector<std::vector<uint8_t>> rows(4);
    for (int i = 0; i < 3000; ++i) {
      const uint32_t value = random();
      for (auto& row : rows) {
        const size_t n = &row - rows.data();
        // 0: new colours; 1: the same again; 2: neighbours (slots shared
        // with row 0's); 3: a flat run with black, the memo's first colour
        const std::vector<uint8_t> p = n == 0 || n == 1 ? pixel(value)
                                       : n == 2        ? pixel(value ^ (1u << (i % 24)))
                                                       : pixel(i % 100 < 90 ? 0 : value & 0xFF00);
        row.insert(row.end(), p.begin(), p.end());
      }
    }
    // 4: 65536 colours, four to a slot of the memo, twice over in
    // different orders: colours that differ in one sample share slots.
    std::vector<uint32_t> dense(1 << 16);
    for (uint32_t i = 0; i < dense.size(); ++i) dense[i] = (i & 63) | (i >> 6 & 63) << 8 | (i >> 12) << 16 | (i >> 14) << 24;
    rows.emplace_back();
    for (int pass = 0; pass < 2; ++pass) {
      std::shuffle(dense.begin(), dense.end(), random);
      for (const uint32_t value : dense) {
        const std::vector<uint8_t> p = pixel(value);
        rows.back().insert(rows.back().end(), p.begin(), p.end());
      }
    }
    for (const auto& row : rows) {
      std::vector<uint8_t> out(row.size());
      conversion.Convert(row.data(), out.data(), row.size() / 4);
      ASSERT_EQ(out, Direct(*transform, row)) << "row " << (&row - rows.data());
    }
  }
}

// The views of a series are converted on several threads at once, each
// view by a RowConversion of its own sharing the transform's memo: every
// thread gets the transform's own pixels while the others fill and
// overwrite the slots it reads. Each thread's rows hold colours of their
// own that fall into the slots of the others' colours, and colours all
// threads share.
TEST(RowConversion, ThreadsSharingTheTransformsMemoGetItsPixels) {
  const IccProfile cmyk = IccProfile::FromFile(QString::fromLatin1(kDefaultCmykProfile), ColourModel::kCmyk, QStringLiteral("the CMYK profile"));
  const IccProfile srgb = IccProfile::Srgb();
  struct Case {
    const char* name;
    const IccProfile& from;
    const IccProfile& to;
    unsigned threads;
  };
  for (const Case& c : {Case{"RGB to CMYK, 2 threads", srgb, cmyk, 2}, Case{"RGB to CMYK, 4 threads", srgb, cmyk, 4},
                        Case{"CMYK to RGB, 3 threads", cmyk, srgb, 3}}) {
    SCOPED_TRACE(c.name);
    auto transform = std::make_shared<const ColourTransform>(c.from, c.to, Intent::kRelative);
    const bool rgbIn = c.from.model() == ColourModel::kRgb;
    std::vector<std::vector<uint8_t>> rows(c.threads), expected(c.threads);
    for (unsigned t = 0; t < c.threads; ++t) {
      std::mt19937 random(11);  // the same colours for every thread, each changed in its own way
      for (int i = 0; i < 20000; ++i) {
        uint32_t value = random();
        if (i % 3 != 0) value ^= (t + 1) << (i % 24);
        if (rgbIn) value &= 0x00FFFFFFu;
        for (int b = 0; b < 4; ++b) rows[t].push_back(uint8_t(value >> (8 * b)));
      }
      expected[t] = Direct(*transform, rows[t]);
    }
    std::vector<int> wrong(c.threads, 0);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < c.threads; ++t)
      threads.emplace_back([&, t] {
        RowConversion conversion(transform);
        std::vector<uint8_t> out(rows[t].size());
        for (int pass = 0; pass < 4; ++pass)
          for (size_t at = 0; at < rows[t].size(); at += 4000) {  // rows of 1000 pixels
            conversion.Convert(rows[t].data() + at, out.data() + at, 1000);
            wrong[t] += !std::equal(out.begin() + ptrdiff_t(at), out.begin() + ptrdiff_t(at) + 4000, expected[t].begin() + ptrdiff_t(at));
          }
      });
    for (std::thread& thread : threads) thread.join();
    for (unsigned t = 0; t < c.threads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
  }
}

}  // namespace
}  // namespace plivora

namespace plivora {
namespace {

// Lab pixels in ICC's 8-bit encoding (L, a + 128, b + 128, padding) become
// sRGB: white, black, and the D50 grey of L 50, which sRGB (D65, adapted by
// LittleCMS) gives as about 119.
TEST(LabViews, ConvertFromTheBuiltInLabProfile) {
  const ColourTransform toSrgb(IccProfile::Lab(), IccProfile::Srgb(), Intent::kRelative);
  const std::vector<uint8_t> lab{255, 128, 128, 0, 0, 128, 128, 0, 128, 128, 128, 0};
  std::vector<uint8_t> rgb(lab.size());
  toSrgb.Convert(lab.data(), rgb.data(), 3);
  const uint8_t expected[12] = {255, 255, 255, 0, 0, 0, 0, 0, 119, 119, 119, 0};
  for (size_t c = 0; c < 12; ++c) EXPECT_NEAR(rgb[c], expected[c], 2) << c;
  EXPECT_EQ(IccProfile::Lab().model(), ColourModel::kLab);
}

}  // namespace
}  // namespace plivora
