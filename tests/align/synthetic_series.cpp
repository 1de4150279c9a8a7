#include "align/synthetic_series.h"

#include <cmath>
#include <random>

#include "sample/view_writer.h"

namespace plivora::test {

namespace {

constexpr Real kPi = 3.141592653589793238462643383279502884L;

// A smooth random texture: a cubic B-spline through random values on a
// grid of 3 pixels, defined (and exact) everywhere.
class Texture {
 public:
  explicit Texture(unsigned seed) : values_(kSide * kSide) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0, 1);
    for (float& v : values_) v = normal(random);
  }
  // Level 0 .. 255 at (x, y).
  double At(double x, double y) const {
    const double u = x / kSpacing + kSide / 2, v = y / kSpacing + kSide / 2;
    const double fu = std::floor(u), fv = std::floor(v);
    double wu[4], wv[4];
    Weights(u - fu, wu);
    Weights(v - fv, wv);
    double sum = 0;
    for (int j = 0; j < 4; ++j) {
      double across = 0;
      for (int i = 0; i < 4; ++i) across += wu[i] * Value(int(fu) + i - 1, int(fv) + j - 1);
      sum += wv[j] * across;
    }
    return 128 + 100 * sum;
  }

 private:
  static constexpr int kSide = 2048;
  static constexpr double kSpacing = 3;
  static void Weights(double t, double w[4]) {
    const double t2 = t * t, t3 = t2 * t, s = 1 - t;
    w[0] = s * s * s / 6;
    w[1] = (3 * t3 - 6 * t2 + 4) / 6;
    w[2] = (-3 * t3 + 3 * t2 + 3 * t + 1) / 6;
    w[3] = t3 / 6;
  }
  float Value(int i, int j) const { return values_[size_t(((j % kSide) + kSide) % kSide) * kSide + size_t(((i % kSide) + kSide) % kSide)]; }
  std::vector<float> values_;
};

}  // namespace

void CameraPoint(const SyntheticSeries& series, int k, Real x, Real y, Real* px, Real* py) {
  const ViewTransform& t = series.camera[size_t(k)];
  const Real r = t.turn * kPi / 180, c = std::cos(r), s = std::sin(r);
  const Real cx = Real(series.width - 1) / 2, cy = Real(series.height - 1) / 2;
  const Real qx = x - cx, qy = y - cy;
  *px = c * qx + s * qy + cx + t.dx;
  *py = -s * qx + c * qy + cy + t.dy;
}

QStringList WriteSeries(const SyntheticSeries& series, const QString& folder) {
  const Texture back(series.seed), front(series.seed + 1000);
  std::mt19937 random(series.seed + 7);
  std::normal_distribution<double> noise(0, 255 * double(series.noise));
  QStringList paths;
  const double cx = (series.width - 1) / 2.0, cy = (series.height - 1) / 2.0;
  for (size_t k = 0; k < series.camera.size(); ++k) {
    const ViewTransform& t = series.camera[k];
    const double r = double(t.turn * kPi / 180), c = std::cos(r), s = std::sin(r);
    std::vector<uint8_t> cmyk(size_t(series.width) * series.height * 4, 0);
    for (uint32_t y = 0; y < series.height; ++y)
      for (uint32_t x = 0; x < series.width; ++x) {
        // The scene point the camera put here: the view's own turn and shift undone.
        const double qx = x - cx - double(t.dx), qy = y - cy - double(t.dy);
        const double sx = c * qx - s * qy + cx, sy = s * qx + c * qy + cy;
        double level = back.At(sx - double(series.background[k]), sy);
        if (series.foreground) {
          const Layer& f = *series.foreground;
          const double lx = sx - double(f.positions[k]);
          if (lx >= double(f.x) && lx < double(f.x + f.width) && sy >= double(f.y) && sy < double(f.y + f.height))
            level = front.At(lx, sy);
        }
        level += noise(random);
        cmyk[(size_t(y) * series.width + x) * 4 + 3] = uint8_t(255 - std::clamp(std::lround(level), 0L, 255L));
      }
    paths << QStringLiteral("%1/view%2.tif").arg(folder).arg(k + 1, 2, 10, QChar('0'));
    WriteViewFile(paths.back(), series.width, series.height, cmyk);
  }
  return paths;
}

}  // namespace plivora::test
