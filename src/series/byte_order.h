// The byte helpers of the view readers and their tests: 16-, 32- and 64-bit
// values in a TIFF file's byte order ("II" little-endian, "MM" big-endian).
#pragma once

#include <cstdint>

namespace plivora {

inline uint16_t Get16(const uint8_t* p, bool big) { return big ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p, bool big) {
  return big ? uint32_t(Get16(p, true)) << 16 | Get16(p + 2, true) : uint32_t(Get16(p + 2, false)) << 16 | Get16(p, false);
}
inline uint64_t Get64(const uint8_t* p, bool big) {
  return big ? uint64_t(Get32(p, true)) << 32 | Get32(p + 4, true) : uint64_t(Get32(p + 4, false)) << 32 | Get32(p, false);
}

inline uint16_t Le16(const uint8_t* p) { return Get16(p, false); }
inline uint32_t Le32(const uint8_t* p) { return Get32(p, false); }

inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, uint16_t(v));
  PutLe16(p + 2, uint16_t(v >> 16));
}

}  // namespace plivora
