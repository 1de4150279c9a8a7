#include "align/pair_motion.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include "align/tile_shift.h"

namespace plivora {

namespace {

constexpr int kTileColumns = 6, kTileRows = 4;
constexpr int kTileSide = 96;             // copy pixels
constexpr double kWeakResponse = 0.03;    // phase correlation's peak below this: no clear match
constexpr double kGoodCorrelation = 0.7;  // a patch that matches
constexpr size_t kLeastTiles = 6;         // of the 24, to fit a turn
constexpr double kStray = 1.0 / 6;        // copy pixels: how far the tiles may scatter about the fit

// The motion of B against A: B(turn (p - centre) + centre + t) shows A(p).
struct Model {
  double radians = 0;
  cv::Point2d t;
  cv::Point2d centre;
  cv::Point2d Displacement(cv::Point2d p) const {
    const double c = std::cos(radians), s = std::sin(radians), x = p.x - centre.x, y = p.y - centre.y;
    return {c * x + s * y + centre.x + t.x - p.x, -s * x + c * y + centre.y + t.y - p.y};
  }
};

cv::Size CommonSize(const cv::Mat& a, const cv::Mat& b) { return {std::min(a.cols, b.cols), std::min(a.rows, b.rows)}; }

// Phase correlation of `rect` of A against the same rectangle of B moved
// by `guess` (whole pixels): the shift, and the peak's strength.
cv::Point2d Correlate(const cv::Mat& a, const cv::Mat& b, cv::Rect rect, cv::Point guess, double* response) {
  cv::Rect moved = rect + guess;
  const cv::Rect inside(0, 0, b.cols, b.rows);
  moved &= inside;
  rect = moved - guess;
  *response = 0;
  if (rect.width < 32 || rect.height < 32) return cv::Point2d(guess);
  cv::Mat window;
  cv::createHanningWindow(window, rect.size(), CV_32F);
  // Copies: phaseCorrelate multiplies the window into its inputs in place
  // when their size suits its transform as it is.
  const cv::Point2d local = cv::phaseCorrelate(a(rect).clone(), b(moved).clone(), window, response);
  return cv::Point2d(guess) + local;
}

// The shift of `rect` of A (B's same rectangle moved by `guess`) from
// copies `times` times smaller: a coarse match costs far less so, and the
// patches refine it.
cv::Point2d CorrelateSmaller(const cv::Mat& a, const cv::Mat& b, cv::Rect rect, cv::Point guess, double times,
                             double* response) {
  cv::Rect moved = (rect + guess) & cv::Rect(0, 0, b.cols, b.rows);
  rect = moved - guess;
  *response = 0;
  if (rect.width < 32 * times || rect.height < 32 * times) return Correlate(a, b, rect, guess, response);
  cv::Mat sa, sb;
  cv::resize(a(rect), sa, cv::Size(), 1 / times, 1 / times, cv::INTER_AREA);
  cv::resize(b(moved), sb, sa.size(), 0, 0, cv::INTER_AREA);
  return cv::Point2d(guess) + Correlate(sa, sb, cv::Rect(0, 0, sa.cols, sa.rows), {0, 0}, response) * times;
}

// The whole copies' shift, from copies a quarter their size.
cv::Point2d CoarseShift(const cv::Mat& a, const cv::Mat& b, double* response) {
  return CorrelateSmaller(a, b, cv::Rect(cv::Point(0, 0), CommonSize(a, b)), {0, 0}, 4, response);
}

// Matched features, outliers cast out: for views too different for one
// shift to match them whole. False unless enough agree (`sure`: many, and
// most of the matches).
bool FeatureModel(const cv::Mat& a, const cv::Mat& b, Model* model, bool* sure) {
  cv::Mat a8, b8;
  a.convertTo(a8, CV_8U);
  b.convertTo(b8, CV_8U);
  const cv::Ptr<cv::ORB> orb = cv::ORB::create(3000);
  std::vector<cv::KeyPoint> ka, kb;
  cv::Mat da, db;
  orb->detectAndCompute(a8, cv::noArray(), ka, da);
  orb->detectAndCompute(b8, cv::noArray(), kb, db);
  if (ka.size() < 12 || kb.size() < 12) return false;
  std::vector<cv::DMatch> matches;
  cv::BFMatcher(cv::NORM_HAMMING, true).match(da, db, matches);
  if (matches.size() < 12) return false;
  std::vector<cv::Point2f> pa, pb;
  for (const cv::DMatch& m : matches) {
    pa.push_back(ka[size_t(m.queryIdx)].pt);
    pb.push_back(kb[size_t(m.trainIdx)].pt);
  }
  std::vector<uchar> inliers;
  const cv::Mat m = cv::estimateAffinePartial2D(pa, pb, inliers, cv::RANSAC, 2.0, 4000, 0.999);
  const auto agreeing = std::count(inliers.begin(), inliers.end(), 1);
  if (m.empty() || agreeing < 10) return false;
  *sure = agreeing >= 40 && 2 * size_t(agreeing) >= matches.size();
  // m = scale x [[cos, -sin], [sin, cos]]: our turn runs the other way.
  model->radians = -std::atan2(m.at<double>(1, 0), m.at<double>(0, 0));
  const cv::Point2d c = model->centre;
  model->t = {m.at<double>(0, 0) * c.x + m.at<double>(0, 1) * c.y + m.at<double>(0, 2) - c.x,
              m.at<double>(1, 0) * c.x + m.at<double>(1, 1) * c.y + m.at<double>(1, 2) - c.y};
  return true;
}

struct Tile {
  cv::Rect rect;
  cv::Point2d centre;
  cv::Point2d t;  // the model's translation that fits this tile
};

// Every tile of a grid over A that `model` takes inside B, measured with
// the model's turn from where phase correlation finds it; the translations
// that fit them.
std::vector<Tile> MeasureTiles(const cv::Mat& a, const cv::Mat& b, const Model& model) {
  std::vector<Tile> tiles;
  const cv::Size size = CommonSize(a, b);
  const int side = std::min({kTileSide, size.width / kTileColumns, size.height / kTileRows});
  const PatchWarp warp{model.radians, model.centre};
  for (int row = 0; row < kTileRows; ++row)
    for (int column = 0; column < kTileColumns; ++column) {
      const cv::Point corner((2 * column + 1) * size.width / (2 * kTileColumns) - side / 2,
                             (2 * row + 1) * size.height / (2 * kTileRows) - side / 2);
      const cv::Rect rect(corner, cv::Size(side, side));
      const cv::Point2d middle(corner.x + (side - 1) / 2.0, corner.y + (side - 1) / 2.0);
      const cv::Point2d d = model.Displacement(middle);
      double response = 0;
      const cv::Point2d found = Correlate(a, b, rect, cv::Point(int(std::lround(d.x)), int(std::lround(d.y))), &response);
      if (response < kWeakResponse) continue;
      // The correlation's shift is the tile's displacement; FindPatch takes
      // the translation after the model's turn.
      const PatchShift shift = FindPatch(a, b, rect, model.t + (found - d), warp, true);
      if (shift.found && shift.correlation >= kGoodCorrelation) tiles.push_back({rect, middle, shift.shift});
    }
  return tiles;
}

// The same tiles again under a better model, each from where it was found
// before (its displacement kept, its translation recast for the new turn).
std::vector<Tile> RemeasureTiles(const cv::Mat& a, const cv::Mat& b, const Model& before, const Model& model,
                                 const std::vector<Tile>& found) {
  std::vector<Tile> tiles;
  const PatchWarp warp{model.radians, model.centre};
  for (const Tile& tile : found) {
    const cv::Point2d from = tile.t + before.Displacement(tile.centre) - model.Displacement(tile.centre) + (model.t - before.t);
    const PatchShift shift = FindPatch(a, b, tile.rect, from, warp, true);
    if (shift.found && shift.correlation >= kGoodCorrelation) tiles.push_back({tile.rect, tile.centre, shift.shift});
  }
  return tiles;
}

// Fits t.y = dy - sin(residual turn) (x - cx) to the tiles, casting out
// those more than three deviations (at least 0.1 pixel) off the line.
// False when fewer than six remain, they span less than a third of the
// width, or they stray from the line by more than a sixth of a pixel.
bool FitTiles(std::vector<Tile> tiles, double cx, double width, double* dy, double* slope, int* kept) {
  for (int round = 0; round < 4; ++round) {
    if (tiles.size() < kLeastTiles) return false;
    double sx = 0, sy = 0, sxx = 0, sxy = 0, lo = 1e300, hi = -1e300;
    for (const Tile& t : tiles) {
      const double x = t.centre.x - cx;
      sx += x, sy += t.t.y, sxx += x * x, sxy += x * t.t.y;
      lo = std::min(lo, x), hi = std::max(hi, x);
    }
    if (hi - lo < width / 3) return false;
    const double n = double(tiles.size());
    *slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    *dy = (sy - *slope * sx) / n;
    std::vector<double> off;
    for (const Tile& t : tiles) off.push_back(std::abs(t.t.y - (*dy + *slope * (t.centre.x - cx))));
    std::vector<double> sorted = off;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double limit = std::max(0.1, 3 * 1.4826 * sorted[sorted.size() / 2]);
    std::vector<Tile> keep;
    for (size_t i = 0; i < tiles.size(); ++i)
      if (off[i] <= limit) keep.push_back(tiles[i]);
    *kept = int(keep.size());
    if (keep.size() == tiles.size()) {
      double squares = 0;
      for (const double o : off) squares += o * o;
      return squares / n <= kStray * kStray;
    }
    tiles = std::move(keep);
  }
  return false;
}

// The model's turn and vertical shift refined by the tiles, twice (the
// second time with the turn the first found, which the tiles' own
// matching then follows); false when they do not agree.
bool RefineByTiles(const cv::Mat& a, const cv::Mat& b, double width, Model* model, int* kept) {
  std::vector<Tile> tiles = MeasureTiles(a, b, *model);
  for (int pass = 0; pass < 2; ++pass) {
    double dy = 0, slope = 0;
    if (!FitTiles(tiles, model->centre.x, width, &dy, &slope, kept)) return false;
    const Model before = *model;
    // The tiles' translations lean by -sin(residual turn) across x.
    model->radians += std::asin(std::clamp(-slope, -1.0, 1.0));
    model->t.y = dy;
    if (pass == 0) tiles = RemeasureTiles(a, b, before, *model, tiles);
  }
  return true;
}

}  // namespace

std::optional<PairMotion> MeasurePair(const cv::Mat& a, const cv::Mat& b, cv::Point2d centre, cv::Rect key) {
  PairMotion motion;
  Model coarse;
  coarse.centre = centre;
  double response = 0;
  coarse.t = CoarseShift(a, b, &response);
  const double width = CommonSize(a, b).width;
  // The patches, from the whole views' shift; where that finds no clear
  // match or the patches disagree, from matched features (the patches
  // again, or the features alone when many agree).
  Model model = coarse;
  if (!(response >= kWeakResponse && RefineByTiles(a, b, width, &model, &motion.patches))) {
    Model byFeatures;
    byFeatures.centre = centre;
    bool sure = false;
    const bool matched = FeatureModel(a, b, &byFeatures, &sure);
    motion.patches = 0;
    model = byFeatures;
    if (!(matched && RefineByTiles(a, b, width, &model, &motion.patches))) {
      if (!(matched && sure)) return std::nullopt;
      model = byFeatures;
    }
    motion.byFeatures = true;
  }
  motion.radians = model.radians;
  motion.dy = model.t.y;
  motion.keyDx = model.t.x;
  // The key rectangle's own horizontal shift.
  key &= cv::Rect(cv::Point(0, 0), CommonSize(a, b));
  const cv::Point2d d = model.Displacement(cv::Point2d(key.x + (key.width - 1) / 2.0, key.y + (key.height - 1) / 2.0));
  double keyResponse = 0;
  const cv::Point2d found =
      CorrelateSmaller(a, b, key, cv::Point(int(std::lround(d.x)), int(std::lround(d.y))), 2, &keyResponse);
  const PatchShift shift = FindPatch(a, b, key, model.t + (found - d), PatchWarp{model.radians, centre});
  if (shift.found && shift.correlation >= kGoodCorrelation) {
    motion.keyDx = shift.shift.x;
  } else if (keyResponse >= kWeakResponse) {
    motion.keyDx = model.t.x + (found.x - d.x);
  }
  return motion;
}

}  // namespace plivora
