// Rows drawn in two levels (the caption strip, a pitch sheet's header and
// labels) in a plate's four-sample form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plivora {

class PlateWriter;

// Writes the file's four bytes for each of `count` pixels of one byte, 0 or
// 255, into `filePixels` (4 * count bytes): v, v, v, 0, so 0, 0, 0, 0 for
// background and 255, 255, 255, 0 for what is drawn.
void ExpandCaptionPixels(const uint8_t* levels, size_t count, uint8_t* filePixels);

// The same on an RGB plate: black on white paper, 255 - v in R, G and B.
void ExpandCaptionPixelsRgb(const uint8_t* levels, size_t count, uint8_t* filePixels);

// Four bytes a pixel for `count` pixels of one byte each, from a table of
// the file's pixel for every byte value (`palette`: 4 x 256 bytes).
void ExpandIndexedPixels(const uint8_t* indices, size_t count, const uint8_t* palette, uint8_t* filePixels);

// Appends `rows` rows of `width` such pixels to `plate` (on an RGB plate,
// `rgb`: black on white), a few rows at a time, so that they are never held
// at four bytes a pixel.
void AppendLevelRows(const uint8_t* levels, size_t rows, int64_t width, PlateWriter& plate, bool rgb = false);
void AppendLevelRows(const std::vector<uint8_t>& levels, int64_t width, PlateWriter& plate, bool rgb = false);

}  // namespace plivora
