#include "interlace/row_engine.h"

#include <algorithm>
#include <cstring>


namespace plivora {

namespace {

// What one batch of rows needs: the row sets it reads (rows repeat a set
// only when the output is taller than the views) and the rows it composes.
struct Batch {
  int64_t first = 0;
  size_t count = 0;
  std::vector<uint8_t> sets;
  std::vector<uint32_t> setOfRow;  // index into sets, per row of the batch
  std::vector<uint8_t> rows;       // count rows of the file's width, white outside the composed columns
};

void ReadBatch(const ImageComposer& composer, const RowSetReader& read, size_t setBytes, Batch& b) {
  uint32_t used = 0, loaded = 0;
  for (size_t j = 0; j < b.count; ++j) {
    const uint32_t q = composer.RowSetOf(b.first + int64_t(j));
    if (used == 0 || q != loaded) {
      read(q, b.sets.data() + size_t(used++) * setBytes);
      loaded = q;
    }
    b.setOfRow[j] = used - 1;
  }
}

// Waits for a lane's task when the stack unwinds, so that no thread is
// left working on buffers that are going away; its own error is dropped
// for the one already on its way.
struct WaitOnExit {
  Lane& lane;
  ~WaitOnExit() {
    try {
      lane.Wait();
    } catch (...) {
    }
  }
};

}  // namespace

RowEngine::RowEngine(unsigned threads) : pool_(threads) {}

void RowEngine::StartBeside(std::function<void()> task) {
  beside_.Start([task = std::move(task)] {
    LowerThisThreadsPriority();  // the lane is this engine's alone
    task();
  });
}

void RowEngine::WriteRows(const RowSetReader& read, ImageComposer& composer, const RowSink& sink,
                          const RowPlacement& placement, const std::function<void(int64_t rowsDone)>& rowsDone) {
  const size_t setBytes = composer.RowSetBytes(), rowBytes = placement.fileWidth * 4;
  const size_t shift = std::min(placement.shift, placement.fileWidth);
  const size_t composed = std::min(composer.Width(), placement.fileWidth - shift);
  // Batches of about 1 MB, but at least 8 rows (each batch costs the threads
  // a hand-over) as long as a batch stays within 4 MB: few fresh pages to
  // touch for a small job, few hand-overs for a wide one.
  const size_t rowPair = setBytes + rowBytes;
  const size_t batchRows =
      std::clamp<size_t>(std::max<size_t>((size_t(1) << 20) / rowPair, 8), 1, std::min<size_t>(256, std::max<size_t>((size_t(4) << 20) / rowPair, 1)));
  Batch batches[2];
  for (Batch& b : batches) {
    b.sets.resize(batchRows * setBytes);
    b.setOfRow.resize(batchRows);
    b.rows.assign(batchRows * rowBytes, 0);
  }
  // Column ranges, one a thread, on 16-column boundaries so that no two
  // threads share a cache line of the composer's per-column state.
  std::vector<size_t> edges{0};
  for (unsigned t = 1; t < threads(); ++t) edges.push_back(std::min(composed, (composed * t / threads()) & ~size_t(15)));
  edges.push_back(composed);

  const int64_t total = composer.Rows();
  const int64_t count = (total + int64_t(batchRows) - 1) / int64_t(batchRows);
  const auto setUp = [&](int64_t n) -> Batch& {
    Batch& b = batches[n % 2];
    b.first = n * int64_t(batchRows);
    b.count = size_t(std::min<int64_t>(int64_t(batchRows), total - b.first));
    return b;
  };
  WaitOnExit readerDone{reader_}, writerDone{writer_};
  if (count > 0) {
    Batch& first = setUp(0);
    reader_.Start([&] { ReadBatch(composer, read, setBytes, first); });
  }
  for (int64_t n = 0; n < count; ++n) {
    Batch& b = batches[n % 2];
    reader_.Wait();
    if (n + 1 < count) {
      Batch& next = setUp(n + 1);  // its rows were written when batch n - 1's write ended
      reader_.Start([&] { ReadBatch(composer, read, setBytes, next); });
    }
    pool_.Run([&](unsigned t) {
      for (size_t j = 0; j < b.count; ++j)
        composer.Compose(b.first + int64_t(j), b.sets.data() + size_t(b.setOfRow[j]) * setBytes,
                         b.rows.data() + j * rowBytes + shift * 4, edges[t], edges[t + 1]);
    });
    writer_.Wait();
    if (n > 0 && rowsDone) rowsDone(b.first);
    // The batch's fields change when it is set up again: the writer gets
    // its bytes by value.
    const uint8_t* rows = b.rows.data();
    const size_t count = b.count;
    writer_.Start([&sink, rows, count, rowBytes] { sink(rows, count, rowBytes); });
  }
  writer_.Wait();
  if (count > 0 && rowsDone) rowsDone(total);
}

}  // namespace plivora
