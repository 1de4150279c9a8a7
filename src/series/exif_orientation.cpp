#include "series/exif_orientation.h"

#include "series/byte_order.h"

namespace plivora {

uint16_t ExifOrientation(const uint8_t* block, size_t size) {
  if (size < 8) return 1;
  const bool big = block[0] == 'M' && block[1] == 'M';
  if (!big && !(block[0] == 'I' && block[1] == 'I')) return 1;
  if (Get16(block + 2, big) != 42) return 1;
  const uint64_t directory = Get32(block + 4, big);
  if (directory > size || size - directory < 2) return 1;
  const uint64_t entries = Get16(block + directory, big);
  for (uint64_t i = 0; i < entries; ++i) {
    const uint64_t at = directory + 2 + i * 12;
    if (at + 12 > size) return 1;
    const uint8_t* entry = block + at;
    if (Get16(entry, big) != 274) continue;
    if (Get16(entry + 2, big) != 3 || Get32(entry + 4, big) != 1) return 1;  // not one SHORT
    const uint16_t value = Get16(entry + 8, big);
    return value >= 1 && value <= 8 ? value : 1;
  }
  return 1;
}

}  // namespace plivora
