// The rules every view reader applies to its samples on the way to the
// four-byte pixels of colour_model.h.
#pragma once

#include <cstdint>

namespace plivora {

// A 16-bit sample as 8 bits: round(v / 257), which maps 257 * n back to n
// exactly and has no ties.
inline uint8_t Reduce16(uint32_t v) { return uint8_t((v + 128) / 257); }

// A sample of a pixel of alpha `a` laid over white paper, 8 bits each:
// round((c * a + 255 * (255 - a)) / 255). A transparent pixel prints no ink.
inline uint8_t OverWhite(uint32_t c, uint32_t a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }

}  // namespace plivora
