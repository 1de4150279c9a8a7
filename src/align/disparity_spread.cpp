// The depth left between a pair once its motion is taken out, from
// OpenCV's dense optical flow.
#include <opencv2/imgproc.hpp>
#include <opencv2/video.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include "align/pair_motion.h"

namespace plivora {

Spread DisparitySpread(const cv::Mat& a, const cv::Mat& b, cv::Point2d centre, const PairMotion& motion) {
  const cv::Rect common(0, 0, std::min(a.cols, b.cols), std::min(a.rows, b.rows));
  cv::Mat a8, b8, flow, gx, gy;
  a(common).convertTo(a8, CV_8U);
  b(common).convertTo(b8, CV_8U);
  cv::DISOpticalFlow::create(cv::DISOpticalFlow::PRESET_FAST)->calc(a8, b8, flow);
  cv::Sobel(a(common), gx, CV_32F, 1, 0, 3, 0.125);
  cv::Sobel(a(common), gy, CV_32F, 0, 1, 3, 0.125);
  // Pixels away from the edges (a sixteenth each side), where the flow
  // has texture to hold to: what moves there is the disparity.
  const int mx = common.width / 16, my = common.height / 16;
  const double c = std::cos(motion.radians), s = std::sin(motion.radians);
  std::vector<float> textured, all;
  all.reserve(size_t(common.width - 2 * mx) * size_t(common.height - 2 * my));
  textured.reserve(all.capacity());
  for (int y = my; y < common.height - my; ++y) {
    const auto* f = flow.ptr<cv::Point2f>(y);
    const float* ux = gx.ptr<float>(y);
    const float* uy = gy.ptr<float>(y);
    const double oy = y - centre.y;
    for (int x = mx; x < common.width - mx; ++x) {
      const double ox = x - centre.x;
      const double expected = c * ox + s * oy + centre.x + motion.keyDx - x;
      const auto d = float(f[x].x - expected);
      all.push_back(d);
      if (ux[x] * ux[x] + uy[x] * uy[x] >= 4) textured.push_back(d);
    }
  }
  std::vector<float>& use = textured.size() >= all.size() / 20 ? textured : all;
  Spread spread;
  if (use.empty()) return spread;
  const auto at = [&](double q) {
    const auto k = long(std::lround(q * double(use.size() - 1)));
    std::nth_element(use.begin(), use.begin() + k, use.end());
    return double(use[size_t(k)]);
  };
  spread.low = at(0.01);
  spread.high = at(0.99);
  return spread;
}

}  // namespace plivora
