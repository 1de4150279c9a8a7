// Series of views with known motion, written as view files: a textured
// scene (a smooth random texture that can be sampled exactly anywhere), a
// foreground layer that may move at its own rate, each view's content then
// moved by a camera's error (a shift and a turn, as a ViewTransform
// describes), and noise.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "series/view_transform.h"

namespace plivora::test {

struct Layer {
  // Where the layer lies in the first view (reference pixels).
  Real x = 0, y = 0, width = 0, height = 0;
  // Its content's horizontal position in each view, reference pixels right
  // of where it lies in the first.
  std::vector<Real> positions;
};

struct SyntheticSeries {
  uint32_t width = 1800, height = 1200;
  std::vector<Real> background;     // the background's horizontal position in each view
  std::optional<Layer> foreground;  // in front of the background
  std::vector<ViewTransform> camera;  // each view's content moved by this, after the layers
  Real noise = 0.01;                // Gaussian, its deviation a share of full scale
  unsigned seed = 1;
};

// Writes the views to `folder` as view01.tif ... and returns their paths.
QStringList WriteSeries(const SyntheticSeries& series, const QString& folder);

// Where view k shows scene point (x, y) of the background, as the camera
// takes it (reference pixels): its position in the view.
void CameraPoint(const SyntheticSeries& series, int k, Real x, Real y, Real* px, Real* py);

}  // namespace plivora::test
