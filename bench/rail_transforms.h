// The shifts and turns the aligned-view benchmarks read their series
// through: the key plane drifting 0.41 px a view, the views a little high
// or low and turned, as a rail camera's are.
#pragma once

#include <string>

#include "series/view_transform.h"

namespace plivora {

// View k's transform for mode "whole" (whole-pixel shifts), "shifted..."
// (fractional shifts) or any other (shifted and turned).
inline ViewTransform RailTransformOf(const std::string& mode, int k) {
  if (mode == "whole") return {Real(-(k % 5)), Real(k % 3 - 1), 0};
  const Real dx = -0.41L * Real(k), dy = Real((k * 37) % 11 - 5) / 4;
  if (mode.rfind("shifted", 0) == 0) return {dx, dy, 0};
  return {dx, dy, Real((k * 53) % 13 - 6) / 10};
}

}  // namespace plivora
