// Writes view files in the input layout: little-endian TIFF, directory at
// offset 8, one uncompressed strip of 8-bit C, M, Y, K samples.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace plivora {

// cmyk holds width * height * 4 bytes, top row first. With `inverted` every
// sample is stored as 255 minus itself, as in a ".gjs" file.
void WriteViewFile(const QString& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& cmyk,
                   bool inverted = false);

// The bytes of such a file, for tests that take them apart.
std::vector<uint8_t> ViewFileBytes(uint32_t width, uint32_t height, const std::vector<uint8_t>& cmyk,
                                   bool inverted = false);

}  // namespace plivora
