// How one view's content lies against its neighbour's, measured on their
// grey copies: the turn and the vertical shift every part of the picture
// shares, and the horizontal shift of the key rectangle's content (the
// rest moves sideways by its depth).
#pragma once

#include <QString>
#include <opencv2/core.hpp>

#include <vector>

namespace plivora {

struct PairMotion {
  // B(turn (p - centre) + centre + (keyDx, dy)) shows A(p) for p in the
  // key rectangle; turn anticlockwise as seen (tile_shift.h).
  double radians = 0;
  double dy = 0;     // copy pixels
  double keyDx = 0;  // copy pixels
  bool byFeatures = false;  // the views differ too much for the patches alone
  int patches = 0;          // patches that agreed on the fit
};

// Measures B against A (32-bit float copies of one reduction), about
// `centre` (copy pixels), the key rectangle `key` in A's pixels. Raises
// "Cannot align ... VIEWS" through `pairName` when nothing matches.
PairMotion MeasurePair(const cv::Mat& a, const cv::Mat& b, cv::Point2d centre, cv::Rect key, const QString& pairName);

// The horizontal disparity of B against A once B's motion is taken out,
// per pixel with texture: the 1st and 99th percentiles, copy pixels.
struct Spread {
  double low = 0, high = 0;
};
Spread DisparitySpread(const cv::Mat& a, const cv::Mat& b, cv::Point2d centre, const PairMotion& motion);

}  // namespace plivora
