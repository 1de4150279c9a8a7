// How one view's content lies against its neighbour's, measured on their
// grey copies: the turn and the vertical shift every part of the picture
// shares, and the horizontal shift of the key rectangle's content (the
// rest moves sideways by its depth).
#pragma once

#include <opencv2/core.hpp>

#include <optional>

#include "align/search_table.h"

namespace plivora {

// Turn anticlockwise as seen (tile_shift.h).
using PairMotion = search::Motion;
using Spread = search::Spread;

// Measures B against A (32-bit float copies of one reduction), about
// `centre` (copy pixels), the key rectangle `key` in A's pixels. Nothing
// when the pair has too little detail in common to be matched.
std::optional<PairMotion> MeasurePair(const cv::Mat& a, const cv::Mat& b, cv::Point2d centre, cv::Rect key);

// The horizontal disparity of B against A once B's motion is taken out
// (search_table.h).
Spread DisparitySpread(const cv::Mat& a, const cv::Mat& b, cv::Point2d centre, const PairMotion& motion);

}  // namespace plivora
