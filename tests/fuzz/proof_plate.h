// Opens bytes as a plate and makes its proof through vertical and through
// horizontal lenses, far away and from nearby: what the plate fuzzer and
// the corpus replay do with each input.
#pragma once

#include <QByteArray>

#include "common/error.h"
#include "proof/plate_reader.h"
#include "proof/proof_renderer.h"
#include "series/source_file.h"

namespace plivora::fuzz {

// Returns false when the plate was refused (Error); anything else escapes.
// Plates with more than `maxBytes` of rows are only opened, and proofs of
// more than `maxSamples` only placed (a small file may declare a huge image
// that decodes from very little data, or a resolution that makes a huge
// proof of it, which takes seconds under the sanitizers).
inline bool ProofEveryWay(const QByteArray& bytes, uint64_t maxBytes = 16u << 20, uint64_t maxSamples = 1u << 20) {
  const QString name = QStringLiteral("plate.tif");
  try {
    PlateFrame frame = OpenPlate(std::make_unique<SourceFile>(name, bytes)).frame;
    if (uint64_t(frame.width) * frame.height * 4 > maxBytes) return true;
    for (LensDirection direction : {LensDirection::kVertical, LensDirection::kHorizontal}) {
      LensModel lens;
      lens.direction = direction;
      // A pitch the plate can hold: four pixels a lens.
      lens.lpi = (direction == LensDirection::kVertical ? frame.xDpi : frame.yDpi) / 4;
      lens.thickness = 0.46L / 25.4L;
      lens.index = 1.57L;
      Viewpoint far, near;
      far.angle = 20;
      near.distance = 10;
      near.sideways = -3;
      for (const Viewpoint& eye : {far, near}) {
        if (!LensProblem(frame, lens).isEmpty()) continue;
        const ProofRenderer placed(frame, lens, eye);
        if (uint64_t(placed.width()) * placed.height() > maxSamples) continue;
        OpenedPlate plate = OpenPlate(std::make_unique<SourceFile>(name, bytes));
        const ProofPicture picture = RenderProof(plate.frame, *plate.rows, lens, eye);
        if (picture.pixels.size() != size_t(picture.width) * picture.height * 4) throw std::logic_error("a proof of the wrong size");
      }
    }
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace plivora::fuzz
