#include "output/row_engine.h"

#include <algorithm>
#include <cstring>

#include "output/caption_strip.h"
#include "output/output_file.h"
#include "output/row_composer.h"

namespace plivora {

void WriteInterlacedRows(const ExportGeometry& g, const RowSetReader& read, RowComposer& composer, OutputFile& out,
                         const RowPlacement& placement, const std::function<void(int64_t rowsDone)>& rowsDone) {
  const size_t setBytes = composer.RowSetBytes(), rowBytes = placement.fileWidth * 4;
  const size_t shift = std::min(placement.shift, placement.fileWidth);
  const size_t composed = std::min(composer.Width(), placement.fileWidth - shift);
  const size_t batch = std::clamp<size_t>((size_t(1) << 20) / (setBytes + rowBytes), 1, 64);
  std::vector<uint8_t> sets(batch * setBytes), rows(batch * rowBytes, 0);

  for (int64_t first = 0; first < g.outputRows; first += int64_t(batch)) {
    const size_t count = size_t(std::min<int64_t>(int64_t(batch), g.outputRows - first));
    size_t used = 0;  // row sets filled in this batch
    uint32_t loaded = 0;
    for (size_t j = 0; j < count; ++j) {
      const uint32_t q = g.SourceRow(first + int64_t(j));
      if (used == 0 || q != loaded) {  // rows repeat only when the output is taller than the views
        read(q, sets.data() + used++ * setBytes);
        loaded = q;
      }
      // Columns outside [shift, shift + composed) stay 0 from the start.
      composer.Compose(sets.data() + (used - 1) * setBytes, rows.data() + j * rowBytes + shift * 4, 0, composed);
    }
    out.Write(rows.data(), count * rowBytes);
    if (rowsDone) rowsDone(first + int64_t(count));
  }
}

void WriteLevelRows(const std::vector<uint8_t>& levels, OutputFile& out) {
  const size_t piece = size_t(1) << 16;  // pixels
  std::vector<uint8_t> pixels(std::min(levels.size(), piece) * 4);
  for (size_t first = 0; first < levels.size(); first += piece) {
    const size_t count = std::min(piece, levels.size() - first);
    ExpandCaptionPixels(levels.data() + first, count, pixels.data());
    out.Write(pixels.data(), count * 4);
  }
}

}  // namespace plivora
