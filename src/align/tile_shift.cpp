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

cv::Mat ShiftedCopy(const cv::Mat& source, cv::Point2d at, cv::Size size) {
  // x + at.x = x + ix + fx: every output pixel takes the same four columns'
  // weights, and the same four rows'.
  const double fx0 = std::floor(at.x), fy0 = std::floor(at.y);
  const int ix = int(fx0), iy = int(fy0);
  float wx[4], wy[4];
  CubicWeights(at.x - fx0, wx);
  CubicWeights(at.y - fy0, wy);
  const int lastX = source.cols - 1, lastY = source.rows - 1;
  std::vector<int> columns(size_t(size.width) + 3);
  for (int i = 0; i < size.width + 3; ++i) columns[size_t(i)] = std::clamp(ix + i - 1, 0, lastX);
  cv::Mat across(size.height + 3, size.width, CV_32F);
  for (int r = 0; r < size.height + 3; ++r) {
    const float* in = source.ptr<float>(std::clamp(iy + r - 1, 0, lastY));
    float* out = across.ptr<float>(r);
    for (int x = 0; x < size.width; ++x) {
      const int* c = &columns[size_t(x)];
      out[x] = wx[0] * in[c[0]] + wx[1] * in[c[1]] + wx[2] * in[c[2]] + wx[3] * in[c[3]];
    }
  }
  cv::Mat shifted(size, CV_32F);
  for (int y = 0; y < size.height; ++y) {
    const float* r0 = across.ptr<float>(y);
    const float* r1 = across.ptr<float>(y + 1);
    const float* r2 = across.ptr<float>(y + 2);
    const float* r3 = across.ptr<float>(y + 3);
    float* out = shifted.ptr<float>(y);
    for (int x = 0; x < size.width; ++x) out[x] = wy[0] * r0[x] + wy[1] * r1[x] + wy[2] * r2[x] + wy[3] * r3[x];
  }
  return shifted;
}

cv::Mat SampledCopy(const cv::Mat& source, const cv::Matx23d& m, cv::Size size) {
  cv::Mat out(size, CV_32F);
  const int lastX = source.cols - 1, lastY = source.rows - 1;
  for (int y = 0; y < size.height; ++y) {
    float* row = out.ptr<float>(y);
    for (int x = 0; x < size.width; ++x) {
      const double sx = m(0, 0) * x + m(0, 1) * y + m(0, 2), sy = m(1, 0) * x + m(1, 1) * y + m(1, 2);
      const double fx = std::floor(sx), fy = std::floor(sy);
      float wx[4], wy[4];
      CubicWeights(sx - fx, wx);
      CubicWeights(sy - fy, wy);
      float sum = 0;
      for (int j = 0; j < 4; ++j) {
        const float* in = source.ptr<float>(std::clamp(int(fy) + j - 1, 0, lastY));
        float across = 0;
        for (int i = 0; i < 4; ++i) across += wx[i] * in[std::clamp(int(fx) + i - 1, 0, lastX)];
        sum += wy[j] * across;
      }
      row[x] = sum;
    }
  }
  return out;
}

cv::Matx23d PatchMatrix(const PatchWarp& warp, cv::Point2d t, cv::Point corner) {
  const double c = std::cos(warp.radians), s = std::sin(warp.radians);
  // B position of patch pixel (x, y): turn((corner + (x, y)) - centre) + centre + t.
  const double ox = corner.x - warp.centre.x, oy = corner.y - warp.centre.y;
  return {c, s, c * ox + s * oy + warp.centre.x + t.x, -s, c, -s * ox + c * oy + warp.centre.y + t.y};
}

PatchShift FindPatch(const cv::Mat& a, const cv::Mat& b, cv::Rect patch, cv::Point2d from, const PatchWarp& warp,
                     bool verticalAlone) {
  PatchShift result;
  result.shift = from;
  patch &= cv::Rect(1, 1, a.cols - 2, a.rows - 2);
  if (patch.width < 8 || patch.height < 8) return result;
  // The patch's gradients (central differences) and their normal matrix,
  // fixed for every step: the inverse compositional form.
  cv::Mat gx(patch.size(), CV_32F), gy(patch.size(), CV_32F);
  for (int y = 0; y < patch.height; ++y) {
    const float* up = a.ptr<float>(patch.y + y - 1) + patch.x;
    const float* mid = a.ptr<float>(patch.y + y) + patch.x;
    const float* down = a.ptr<float>(patch.y + y + 1) + patch.x;
    for (int x = 0; x < patch.width; ++x) {
      gx.at<float>(y, x) = 0.5f * (mid[x + 1] - mid[x - 1]);
      gy.at<float>(y, x) = 0.5f * (down[x] - up[x]);
    }
  }
  // Texture: the mean squared gradient at least 1 (a level's difference
  // between neighbours) both ways (the smaller eigenvalue), or down alone
  // with little across.
  double hxx = gx.dot(gx), hxy = gx.dot(gy), hyy = gy.dot(gy);
  const double det = hxx * hyy - hxy * hxy, trace = hxx + hyy, pixels = double(patch.area());
  const double smaller = (trace - std::sqrt(std::max(0.0, trace * trace - 4 * det))) / 2;
  const double least = kLeastTexture * pixels;
  result.across = smaller >= least;
  if (!result.across && !(verticalAlone && hyy >= least && hxx <= 0.1 * hyy)) return result;
  cv::Mat template0 = a(patch) - cv::mean(a(patch))[0];
  const double spread = std::sqrt(template0.dot(template0));
  cv::Point2d t = from;
  for (int step = 0; step < 30; ++step) {
    cv::Mat moved = warp.radians == 0 ? ShiftedCopy(b, cv::Point2d(patch.x + t.x, patch.y + t.y), patch.size())
                                      : SampledCopy(b, PatchMatrix(warp, t, patch.tl()), patch.size());
    moved -= cv::mean(moved)[0];
    const double movedSpread = std::sqrt(moved.dot(moved));
    if (movedSpread <= 0) return result;
    // Brightness may differ between the views: the moved patch is scaled
    // to the template's contrast.
    const cv::Mat error = moved * (spread / movedSpread) - template0;
    const double bx = gx.dot(error), by = gy.dot(error);
    const double dx = result.across ? (hyy * bx - hxy * by) / det : 0;
    const double dy = result.across ? (hxx * by - hxy * bx) / det : by / hyy;
    // The step, found in A's frame, turned into B's.
    const double c = std::cos(warp.radians), s = std::sin(warp.radians);
    t.x -= c * dx + s * dy;
    t.y -= -s * dx + c * dy;
    if (std::abs(t.x - from.x) > 8 || std::abs(t.y - from.y) > 8) return result;
    if (dx * dx + dy * dy < 1e-6) {
      result.correlation = moved.dot(template0) / (movedSpread * spread);
      result.shift = t;
      result.found = true;
      return result;
    }
  }
  return result;
}

}  // namespace plivora
