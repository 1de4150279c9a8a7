// The key plane: the part of the scene that lies on the print's surface.
// What is in front of it floats out of the card, what is behind sinks in;
// text and logos belong on it. After alignment the key rectangle's content
// keeps its place from view to view.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "common/numbers.h"
#include "series/view_transform.h"

namespace plivora {

// The centre third of a view, each way.
KeyRect DefaultKeyRect(uint32_t width, uint32_t height);

// Raises "The key rectangle X,Y,W,H does not lie inside the first view
// (W x H pixels)" or "... is too small to measure (at least 16 x 16 pixels)".
void CheckKeyRect(const KeyRect& key, uint32_t width, uint32_t height);

// The line a + b k through the key's measured positions, least squares:
// shifting view k by -(a + b k) holds the key plane still without letting
// one noisy measurement jolt the series.
struct KeyLine {
  Real a = 0, b = 0;  // view pixels; per view
  Real At(int k) const { return a + b * Real(k); }
};
KeyLine FitKeyLine(const std::vector<Real>& positions);

}  // namespace plivora
