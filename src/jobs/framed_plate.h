// A marked plate's press frame, as a wrapper of the plate's writer like the
// mirrored plate: the image rows go in, the plate's rows come out with the
// margins around them and the marks in the margins (press_frame.h).
#pragma once

#include <memory>

#include "colour/plate_colour.h"
#include "drawing/press_marks.h"
#include "plate/plate_writer.h"

namespace plivora {

// Writes the margin above the image to `plate` at once; then each image row
// appended (the image's width, four bytes a pixel) goes on with its side
// margins, and Finish writes the margin below before finishing `plate`.
// `frame` must outlive the writer.
std::unique_ptr<PlateWriter> FramedPlate(std::unique_ptr<PlateWriter> plate, const PressMarks& frame, PlateColour colour);

}  // namespace plivora
