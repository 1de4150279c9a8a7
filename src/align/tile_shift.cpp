#include "align/tile_shift.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace plivora {

namespace {

// The least mean squared gradient (levels between neighbours) a patch
// needs to be measured: below it smooth shading and noise decide.
constexpr double kLeastTexture = 1;

// Catmull-Rom weights of taps -1 .. 2 at phase t (0 <= t < 1), as the
// aligned views are resampled.
void CubicWeights(double t, float w[4]) {
  const double t2 = t * t, t3 = t2 * t;
  w[0] = float((-t3 + 2 * t2 - t) / 2);
  w[1] = float((3 * t3 - 5 * t2 + 2) / 2);
  w[2] = float((-3 * t3 + 4 * t2 + t) / 2);
  w[3] = float((t3 - t2) / 2);
}

}  // namespace

void ShiftedCopy(const cv::Mat& source, cv::Point2d at, cv::Mat& out, cv::Mat& across) {
  // x + at.x = x + ix + fx: every output pixel takes the same four columns'
  // weights, and the same four rows'.
  const cv::Size size = out.size();
  const double fx0 = std::floor(at.x), fy0 = std::floor(at.y);
  const int ix = int(fx0), iy = int(fy0);
  float wx[4], wy[4];
  CubicWeights(at.x - fx0, wx);
  CubicWeights(at.y - fy0, wy);
  const int lastX = source.cols - 1, lastY = source.rows - 1;
  const bool inside = ix >= 1 && ix + size.width + 1 <= lastX;
  across.create(size.height + 3, size.width, CV_32F);
  for (int r = 0; r < size.height + 3; ++r) {
    const float* in = source.ptr<float>(std::clamp(iy + r - 1, 0, lastY));
    float* row = across.ptr<float>(r);
    if (inside) {
      const float* p = in + ix - 1;
      for (int x = 0; x < size.width; ++x) row[x] = wx[0] * p[x] + wx[1] * p[x + 1] + wx[2] * p[x + 2] + wx[3] * p[x + 3];
    } else {
      for (int x = 0; x < size.width; ++x) {
        float sum = 0;
        for (int i = 0; i < 4; ++i) sum += wx[i] * in[std::clamp(ix + x + i - 1, 0, lastX)];
        row[x] = sum;
      }
    }
  }
  for (int y = 0; y < size.height; ++y) {
    const float* r0 = across.ptr<float>(y);
    const float* r1 = across.ptr<float>(y + 1);
    const float* r2 = across.ptr<float>(y + 2);
    const float* r3 = across.ptr<float>(y + 3);
    float* row = out.ptr<float>(y);
    for (int x = 0; x < size.width; ++x) row[x] = wy[0] * r0[x] + wy[1] * r1[x] + wy[2] * r2[x] + wy[3] * r3[x];
  }
}

void SampledCopy(const cv::Mat& source, const cv::Matx23d& m, cv::Mat& out) {
  const cv::Size size = out.size();
  const int lastX = source.cols - 1, lastY = source.rows - 1;
  const auto step = static_cast<ptrdiff_t>(source.step1());
  const float* base = source.ptr<float>(0);
  for (int y = 0; y < size.height; ++y) {
    float* row = out.ptr<float>(y);
    double sx = m(0, 1) * y + m(0, 2), sy = m(1, 1) * y + m(1, 2);
    for (int x = 0; x < size.width; ++x, sx += m(0, 0), sy += m(1, 0)) {
      const double fx = std::floor(sx), fy = std::floor(sy);
      const int ix = int(fx), iy = int(fy);
      float wx[4], wy[4];
      CubicWeights(sx - fx, wx);
      CubicWeights(sy - fy, wy);
      float sum = 0;
      if (ix >= 1 && iy >= 1 && ix + 2 <= lastX && iy + 2 <= lastY) {
        const float* in = base + (iy - 1) * step + (ix - 1);
        for (int j = 0; j < 4; ++j, in += step) sum += wy[j] * (wx[0] * in[0] + wx[1] * in[1] + wx[2] * in[2] + wx[3] * in[3]);
      } else {
        // The taps reach past the edge: the edge repeated.
        for (int j = 0; j < 4; ++j) {
          const float* in = source.ptr<float>(std::clamp(iy + j - 1, 0, lastY));
          float across = 0;
          for (int i = 0; i < 4; ++i) across += wx[i] * in[std::clamp(ix + i - 1, 0, lastX)];
          sum += wy[j] * across;
        }
      }
      row[x] = sum;
    }
  }
}

cv::Matx23d PatchMatrix(const PatchWarp& warp, cv::Point2d t, cv::Point corner) {
  const double c = std::cos(warp.radians), s = std::sin(warp.radians);
  // B position of patch pixel (x, y): turn((corner + (x, y)) - centre) + centre + t.
  const double ox = corner.x - warp.centre.x, oy = corner.y - warp.centre.y;
  return {c, s, c * ox + s * oy + warp.centre.x + t.x, -s, c, -s * ox + c * oy + warp.centre.y + t.y};
}

namespace {

// What every step of matching one patch uses: its gradients (central
// differences) and their normal matrix (the inverse compositional form),
// and the template less its mean against them.
struct Template {
  cv::Mat gx, gy;
  double hxx = 0, hxy = 0, hyy = 0, det = 0;
  double mean = 0, spread = 0, sgx = 0, sgy = 0, tgx = 0, tgy = 0;
  bool across = false;  // texture both ways (else down alone, or none)
};

Template Prepare(const cv::Mat& a, cv::Rect patch) {
  Template t;
  t.gx.create(patch.size(), CV_32F);
  t.gy.create(patch.size(), CV_32F);
  t.mean = cv::mean(a(patch))[0];
  double spread = 0;
  for (int y = 0; y < patch.height; ++y) {
    const float* up = a.ptr<float>(patch.y + y - 1) + patch.x;
    const float* mid = a.ptr<float>(patch.y + y) + patch.x;
    const float* down = a.ptr<float>(patch.y + y + 1) + patch.x;
    float* ux = t.gx.ptr<float>(y);
    float* uy = t.gy.ptr<float>(y);
    for (int x = 0; x < patch.width; ++x) {
      ux[x] = 0.5f * (mid[x + 1] - mid[x - 1]);
      uy[x] = 0.5f * (down[x] - up[x]);
      const double v = mid[x] - t.mean;
      t.hxx += double(ux[x]) * ux[x], t.hxy += double(ux[x]) * uy[x], t.hyy += double(uy[x]) * uy[x];
      spread += v * v, t.sgx += ux[x], t.sgy += uy[x], t.tgx += v * ux[x], t.tgy += v * uy[x];
    }
  }
  t.spread = std::sqrt(spread);
  t.det = t.hxx * t.hyy - t.hxy * t.hxy;
  // Texture: the mean squared gradient at least kLeastTexture both ways
  // (the smaller eigenvalue).
  const double trace = t.hxx + t.hyy;
  const double smaller = (trace - std::sqrt(std::max(0.0, trace * trace - 4 * t.det))) / 2;
  t.across = smaller >= kLeastTexture * double(patch.area());
  return t;
}

}  // namespace

PatchShift FindPatch(const cv::Mat& a, const cv::Mat& b, cv::Rect patch, cv::Point2d from, const PatchWarp& warp,
                     bool verticalAlone) {
  PatchShift result;
  result.shift = from;
  patch &= cv::Rect(1, 1, a.cols - 2, a.rows - 2);
  if (patch.width < 8 || patch.height < 8) return result;
  const Template tp = Prepare(a, patch);
  const double pixels = double(patch.area()), least = kLeastTexture * pixels;
  result.across = tp.across;
  // Down alone: a patch with texture that way and little across.
  if (!tp.across && !(verticalAlone && tp.hyy >= least && tp.hxx <= 0.1 * tp.hyy)) return result;
  const double c = std::cos(warp.radians), s = std::sin(warp.radians);
  cv::Mat moved(patch.size(), CV_32F), across;
  cv::Point2d t = from;
  for (int step = 0; step < 30; ++step) {
    if (warp.radians == 0)
      ShiftedCopy(b, cv::Point2d(patch.x + t.x, patch.y + t.y), moved, across);
    else
      SampledCopy(b, PatchMatrix(warp, t, patch.tl()), moved);
    // The moved patch less its mean, scaled to the template's contrast
    // (brightness may differ between the views), against the gradients.
    double m1 = 0, m2 = 0, mgx = 0, mgy = 0, mt = 0;
    for (int y = 0; y < patch.height; ++y) {
      const float* m = moved.ptr<float>(y);
      const float* p = a.ptr<float>(patch.y + y) + patch.x;
      const float* ux = tp.gx.ptr<float>(y);
      const float* uy = tp.gy.ptr<float>(y);
      for (int x = 0; x < patch.width; ++x) {
        const double v = m[x];
        m1 += v, m2 += v * v, mgx += v * ux[x], mgy += v * uy[x], mt += v * (p[x] - tp.mean);
      }
    }
    const double movedMean = m1 / pixels;
    const double movedSpread = std::sqrt(std::max(0.0, m2 - m1 * movedMean));
    if (movedSpread <= 0) return result;
    const double k = tp.spread / movedSpread;
    const double bx = k * (mgx - movedMean * tp.sgx) - tp.tgx, by = k * (mgy - movedMean * tp.sgy) - tp.tgy;
    const double dx = tp.across ? (tp.hyy * bx - tp.hxy * by) / tp.det : 0;
    const double dy = tp.across ? (tp.hxx * by - tp.hxy * bx) / tp.det : by / tp.hyy;
    // The step, found in A's frame, turned into B's.
    t.x -= c * dx + s * dy;
    t.y -= -s * dx + c * dy;
    if (std::abs(t.x - from.x) > 8 || std::abs(t.y - from.y) > 8) return result;
    if (dx * dx + dy * dy < 1e-6) {
      result.correlation = mt / (movedSpread * tp.spread);
      result.shift = t;
      result.found = true;
      return result;
    }
  }
  return result;
}

}  // namespace plivora
