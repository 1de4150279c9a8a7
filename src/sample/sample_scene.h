// A synthetic stereo scene for trying an export at once: a ground plane and
// three objects at different depths that shift from view to view by their
// depth, as a camera sliding sideways would see them.
#pragma once

#include <cstdint>
#include <vector>

namespace plivora {

// View `view` (0-based) of `count`, width * height CMYK pixels, top row first.
std::vector<uint8_t> RenderSampleView(uint32_t width, uint32_t height, int view, int count);

}  // namespace plivora
