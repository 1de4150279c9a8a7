// How far a patch of one grey copy has moved in another, to a hundredth of
// a pixel: Gauss-Newton steps on the patch's differences, the other copy
// shifted by a separable cubic filter of our own (OpenCV's warps take
// positions to 1/32 of a pixel, too coarse for this).
#pragma once

#include <opencv2/core.hpp>

namespace plivora {

// A copy shifted: out(x, y) = source(x + at.x, y + at.y) for out's size,
// the source's edge repeated where the taps reach past it. 32-bit float;
// `across` holds the pass along the rows (both reused from call to call).
void ShiftedCopy(const cv::Mat& source, cv::Point2d at, cv::Mat& out, cv::Mat& across);

// A copy turned and shifted: out(x, y) = source(m (x, y, 1)), m a 2 x 3
// matrix of doubles, sampled with the cubic filter in both directions.
void SampledCopy(const cv::Mat& source, const cv::Matx23d& m, cv::Mat& out);

// How a patch of copy A lies in copy B: B(turn (p - centre) + centre + t)
// shows A(p), turn an anticlockwise turn as seen by `radians` (y down: x' =
// x cos + y sin, y' = -x sin + y cos). The turn is known; t is found.
struct PatchWarp {
  double radians = 0;
  cv::Point2d centre;
};

struct PatchShift {
  cv::Point2d shift;         // the patch's content lies this far right and down in `b`
  double correlation = 0;    // of the patch and `b` shifted back, -1 .. 1
  bool found = false;        // converged, on a patch with texture
  bool across = false;       // the horizontal shift was measured too (not only the vertical)
};

// Where patch `patch` of `a` lies in `b` (t above), starting from the guess
// `from` (within a pixel or two of it). Both 32-bit float. A patch with
// texture one way only (a horizon, the top of a roof) gives the vertical
// shift alone when `verticalAlone`, the horizontal kept at the guess.
PatchShift FindPatch(const cv::Mat& a, const cv::Mat& b, cv::Rect patch, cv::Point2d from, const PatchWarp& warp = {},
                     bool verticalAlone = false);

// The matrix of SampledCopy that puts patch-relative pixel (x, y) of a
// patch at `corner` where `warp` and t take it in B.
cv::Matx23d PatchMatrix(const PatchWarp& warp, cv::Point2d t, cv::Point corner);

}  // namespace plivora
