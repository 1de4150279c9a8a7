// A plate opened for the proof: any 8-bit grey, CMYK or RGB TIFF, whoever
// wrote it (Plivora's plates of every colour and form, and plates saved by
// other programs with other strips, compression or byte order), read
// through the view readers of series/, and placed in inches by its
// resolution tags.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "colour/colour_model.h"
#include "common/numbers.h"
#include "series/source_image.h"

namespace plivora {

class SourceFile;

// What the proof needs to know of a plate before its first row.
struct PlateFrame {
  uint32_t width = 0, height = 0;  // pixels
  Real xDpi = 0, yDpi = 0;         // pixels per inch across and down
  // Its rows' model (colour_model.h: four bytes a pixel). A Plivora grey
  // plate is CMYK with four equal inks and no profile.
  ColourModel model = ColourModel::kCmyk;
  QByteArray profile;              // its embedded ICC profile, or empty
};

// A plate's rows, top to bottom: each ReadRow asks for a row below the one
// before (or the same). Errors name the plate ("Cannot read plate "PATH":
// REASON").
class PlateRows {
 public:
  explicit PlateRows(std::unique_ptr<SourceReader> reader) : reader_(std::move(reader)) {}
  const SourceImage& image() const { return reader_->image(); }
  const QString& path() const { return reader_->image().Path; }
  // Copies `row` into dest: width x 4 bytes in the plate's model.
  void ReadRow(uint32_t row, uint8_t* dest);

 private:
  std::unique_ptr<SourceReader> reader_;
};

struct OpenedPlate {
  PlateFrame frame;
  std::unique_ptr<PlateRows> rows;
};

// Opens the plate at `path` (or held in `file`), checking all that can be
// checked before a row is read. Raises "Cannot read plate "PATH": REASON"
// for a file that is not a TIFF, has no usable resolution, or is of a form
// the readers refuse; "Cannot open file ..." when it can't be opened.
OpenedPlate OpenPlate(const QString& path);
OpenedPlate OpenPlate(std::unique_ptr<SourceFile> file);

// `Cannot read plate "PATH": REASON`
[[noreturn]] void FailPlate(const QString& path, const QString& reason);

}  // namespace plivora
