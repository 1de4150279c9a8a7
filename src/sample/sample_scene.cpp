#include "sample/sample_scene.h"

#include <algorithm>
#include <cmath>

namespace plivora {

namespace {

struct Cmyk { uint8_t c, m, y, k; };

// Objects from far to near; shift is in view widths per view step.
struct Disc { double cx, cy, r, shift; Cmyk ink; };

}  // namespace

std::vector<uint8_t> RenderSampleView(uint32_t width, uint32_t height, int view, int count) {
  std::vector<uint8_t> out(size_t(width) * height * 4);
  const double centre = (count - 1) / 2.0;
  const double step = view - centre;  // negative: left of the middle view
  const Disc discs[] = {
      {0.50, 0.30, 0.22, -0.004, {40, 10, 0, 20}},   // far: pale blue moon behind the plane
      {0.35, 0.55, 0.14, 0.000, {0, 90, 85, 0}},     // on the plane: red ball
      {0.62, 0.68, 0.10, 0.010, {85, 0, 95, 10}},    // near: green ball
  };
  const double w = width, h = height;
  for (uint32_t y = 0; y < height; ++y) {
    const double fy = y / h;
    for (uint32_t x = 0; x < width; ++x) {
      const double fx = x / w;
      // Sky fading into a ground plane with stripes that shift with depth.
      Cmyk p{uint8_t(60 - 40 * fy), uint8_t(10 + 10 * fy), 0, 0};
      if (fy > 0.6) {
        const double depth = (fy - 0.6) / 0.4;  // 0 at the horizon, 1 at the front
        const double u = (fx - 0.5 + step * 0.012 * depth) / (0.2 + 0.8 * depth) * 8;
        const bool stripe = (int(std::floor(u)) & 1) != 0;
        p = stripe ? Cmyk{20, 30, 70, 10} : Cmyk{10, 20, 50, 5};
      }
      for (const Disc& d : discs) {
        const double dx = (fx - d.cx - step * d.shift) * w / h, dy = fy - d.cy;
        if (dx * dx + dy * dy < d.r * d.r) {
          const double shade = std::clamp(0.6 + 2.0 * (dx + dy) / d.r * 0.2, 0.0, 1.0);
          p = {d.ink.c, d.ink.m, d.ink.y, uint8_t(d.ink.k + 80 * shade)};
        }
      }
      uint8_t* px = &out[(size_t(y) * width + x) * 4];
      px[0] = p.c;
      px[1] = p.m;
      px[2] = p.y;
      px[3] = p.k;
    }
  }
  return out;
}

}  // namespace plivora
