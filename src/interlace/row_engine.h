// The row loop every interlaced file shares: the export, the pitch test
// sheets. Rows arrive top to bottom with no gaps; each is composed from one
// row set (the source rows it is made of) and written to the output file in
// batches, so memory is bounded by a few batches (a few MB), never by the
// output's height.
//
// Three stages overlap: while the composer works on one batch, split into
// column ranges across the engine's threads, a reader thread reads the next
// batch's source rows and a writer thread writes the previous batch. The
// column ranges are disjoint, so the bytes are those of one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/task_pool.h"
#include "interlace/image_composer.h"

namespace plivora {

// Fills `set` (composer.RowSetBytes() bytes) with row set `which` of the
// composer (ImageComposer::RowSetOf): for vertical lenses source row
// `which` of every view, at the composer's view offsets. Called with sets
// that never go back; a set may be asked for again.
using RowSetReader = std::function<void(uint32_t which, uint8_t* set)>;

// Takes `count` composed rows of the file's width, `stride` bytes apart, in
// order (a PlateWriter's Append, or several for panels).
using RowSink = std::function<void(const uint8_t* rows, size_t count, size_t stride)>;

// Where a composed row lands in the file's row: composer column c becomes
// file column shift + c; file columns before the shift and after the
// composed ones are white (0), and composed columns at or past fileWidth
// are cut off.
struct RowPlacement {
  size_t shift = 0;
  size_t fileWidth = 0;
};

class RowEngine {
 public:
  // Composes on `threads` threads (the caller's among them), and reads and
  // writes on one thread each besides.
  explicit RowEngine(unsigned threads);
  unsigned threads() const { return pool_.size(); }

  // Writes the image rows of `composer`, the row sets coming from `read`
  // (called on the reader thread, never two at a time). In the caller's
  // thread, `rowsDone` is told after every batch how many rows are written.
  // An exception on any thread stops the work and is raised here, once
  // every thread has let go of the buffers.
  void WriteRows(const RowSetReader& read, ImageComposer& composer, const RowSink& sink, const RowPlacement& placement,
                 const std::function<void(int64_t rowsDone)>& rowsDone);

  // Runs one task of the caller's on a thread of its own, beside the rows
  // (the caption strip); WaitBeside waits for it and raises its exception.
  // The engine waits for it when it goes away. The thread has the lowest
  // priority, so that the task takes only what the rows leave of the cores:
  // the reader, the composer and the writer hand each batch on to each
  // other, and any of them kept waiting for a core holds up the others.
  void StartBeside(std::function<void()> task);
  void WaitBeside() { beside_.Wait(); }

 private:
  TaskPool pool_;
  Lane reader_, writer_, beside_;
};

}  // namespace plivora
