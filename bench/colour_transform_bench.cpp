// Nanoseconds per source pixel of the colour transforms an export applies to
// its views' rows, one thread, row by row: RGB to the press's CMYK, CMYK to
// sRGB, grey to CMYK, each as LittleCMS converts alone ("transform") and as
// the export converts, remembering colours met before ("export"). Kinds of
// picture of 1000 x 1500: the sample scene (flat areas and edges, as
// rendered pictures have), a photograph's smooth gradients with sensor noise
// (neighbours rarely equal), random pixels (the worst case), and any picture
// files given (scaled to the size).
//
//   colour_transform_bench [--runs N] [--cmyk-profile FILE] [PICTURE...]
#include <QImage>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <random>
#include <vector>

#include "colour/colour_transform.h"
#include "colour/icc_profile.h"
#include "common/error.h"
#include "sample/sample_scene.h"

namespace {

using namespace plivora;

constexpr uint32_t kWidth = 1000, kHeight = 1500;

// Four-byte pixels of `model` for each kind of picture.
std::vector<uint8_t> Picture(const QString& kind, ColourModel model) {
  std::vector<uint8_t> px(size_t(kWidth) * kHeight * 4);
  std::mt19937 random(7);
  if (kind == QLatin1String("scene")) {
    const std::vector<uint8_t> cmyk = RenderSampleView(kWidth, kHeight, 3, 8);
    for (size_t i = 0; i < px.size(); i += 4) {
      const int k = cmyk[i + 3];
      for (int c = 0; c < 3; ++c) px[i + size_t(c)] = uint8_t(std::max(0, 255 - cmyk[i + size_t(c)] - k));
      if (model == ColourModel::kCmyk) std::copy_n(&cmyk[i], 4, &px[i]);
    }
  } else if (kind == QLatin1String("photo")) {
    std::uniform_int_distribution<int> noise(-4, 4);
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t x = 0; x < kWidth; ++x) {
        uint8_t* p = &px[(size_t(y) * kWidth + x) * 4];
        const int base[4] = {int(x * 200 / kWidth) + 20, int(y * 200 / kHeight) + 20, int((x + y) * 100 / kWidth) + 40, 30};
        for (int c = 0; c < 4; ++c) p[c] = uint8_t(std::clamp(base[c] + noise(random), 0, 255));
      }
  } else if (kind == QLatin1String("random")) {
    for (uint8_t& b : px) b = uint8_t(random());
  } else {
    // A picture file: its RGB, or the naive inks of it.
    const QImage file = QImage(kind).convertToFormat(QImage::Format_RGBX8888).scaled(int(kWidth), int(kHeight));
    if (file.isNull()) Fail(QStringLiteral("Cannot read the picture \"%1\"").arg(kind));
    for (uint32_t y = 0; y < kHeight; ++y) {
      const uint8_t* in = file.constScanLine(int(y));
      for (uint32_t x = 0; x < kWidth; ++x) {
        uint8_t* p = &px[(size_t(y) * kWidth + x) * 4];
        for (int c = 0; c < 3; ++c) p[c] = model == ColourModel::kCmyk ? uint8_t(255 - in[4 * x + c]) : in[4 * x + c];
        p[3] = 0;
      }
    }
  }
  for (size_t i = 0; i < px.size(); i += 4) {
    if (model == ColourModel::kGrey) px[i + 1] = px[i + 2] = px[i];
    if (model != ColourModel::kCmyk) px[i + 3] = 0;
  }
  return px;
}

// Each pass converts the picture once, the export's way with a fresh memo:
// the memo is the transform's, so each pass makes its transform anew.
double NanosecondsPerPixel(const IccProfile& from, const IccProfile& to, bool remembering,
                           const std::vector<uint8_t>& picture, int runs) {
  std::vector<uint8_t> row(size_t(kWidth) * 4);
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    const auto transform = std::make_shared<const ColourTransform>(from, to, Intent::kRelative);
    RowConversion conversion(transform);
    const auto start = std::chrono::steady_clock::now();
    for (uint32_t y = 0; y < kHeight; ++y) {
      const uint8_t* in = &picture[size_t(y) * kWidth * 4];
      if (remembering)
        conversion.Convert(in, row.data(), kWidth);
      else
        transform->Convert(in, row.data(), kWidth);
    }
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    times.push_back(spent.count() / (double(kWidth) * kHeight));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  try {
    int runs = 7;
    QString cmykPath = QString::fromLatin1(kDefaultCmykProfile);
    QStringList kinds = {QStringLiteral("scene"), QStringLiteral("photo"), QStringLiteral("random")};
    for (int i = 1; i < argc; ++i) {
      const QString arg = QString::fromLocal8Bit(argv[i]);
      if (arg == QLatin1String("--runs") && i + 1 < argc)
        runs = std::max(1, std::atoi(argv[++i]));
      else if (arg == QLatin1String("--cmyk-profile") && i + 1 < argc)
        cmykPath = QString::fromLocal8Bit(argv[++i]);
      else
        kinds << arg;
    }
    const IccProfile cmyk = IccProfile::FromFile(cmykPath, ColourModel::kCmyk, QStringLiteral("the CMYK profile"));
    const IccProfile srgb = IccProfile::Srgb(), grey = IccProfile::Grey22();
    struct Case {
      const char* name;
      const IccProfile& from;
      const IccProfile& to;
    };
    const Case cases[] = {{"sRGB -> CMYK", srgb, cmyk}, {"CMYK -> sRGB", cmyk, srgb}, {"grey -> CMYK", grey, cmyk}};
    std::printf("ns per source pixel, one thread, median of %d passes over %u x %u (relative intent):\n", runs, kWidth,
                kHeight);
    for (const Case& c : cases) {
      std::printf("  %s\n", c.name);
      for (const QString& kind : kinds) {
        const std::vector<uint8_t> picture = Picture(kind, c.from.model());
        std::printf("    %-40s transform %6.2f   export %6.2f\n", qPrintable(kind.right(40)),
                    NanosecondsPerPixel(c.from, c.to, false, picture, runs),
                    NanosecondsPerPixel(c.from, c.to, true, picture, runs));
      }
    }
    return 0;
  } catch (const Error& e) {
    std::fprintf(stderr, "colour_transform_bench: %s\n", qPrintable(e.message()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "colour_transform_bench: %s\n", e.what());
  }
  return 1;
}
