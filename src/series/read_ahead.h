// Views decoded ahead of the rows' reader, on worker threads: what views
// cost to decode (a PNG, a JPEG, a compressed TIFF) and to convert is spread
// over the cores, while the one thread that asks for their rows only copies
// them.
//
// Each view's rows are read by its own reader, top to bottom, by one worker
// at a time, a few rows a turn; the worker that comes free takes the view
// with the fewest rows ready. A view has at most kAheadRows rows in flight
// (read and not yet let go by the asking thread), fewer when the rows in
// flight of all views would pass kAheadBytes together, but at least 2: the
// memory is a few rows a view whatever the views' height. Only the rows
// the caller says it will ask for are read: a reader decodes the rows
// between them (its format needs it) but never hands them out, and so
// never converts them.
//
// A view whose reader fails keeps its failure for the row it failed on:
// the rows before it are handed out as usual, and asking for that row
// raises the reader's own error (bad_alloc included), as reading it on the
// asking thread would have.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "series/source_image.h"

namespace plivora {

constexpr uint32_t kAheadRows = 16;
constexpr uint64_t kAheadBytes = uint64_t(64) << 20;

struct AheadView {
  std::unique_ptr<SourceReader> reader;  // Started
  std::vector<uint32_t> rows;            // the rows that will be asked for, increasing
};

// Hands each view's reader to up to `threads` workers (fewer when there are
// fewer views) and returns, in the same order, the readers to ask instead;
// the readers are taken out of `views` only when nothing failed. A returned
// reader hands out its view's `rows` in increasing order, a row again being
// allowed, byte for byte as the reader it wraps; asking it for another row
// is a fault of the caller, reported as such. Destroying a returned reader
// waits for the worker that may be reading its view; the workers end with
// the last of them. Raises Error when a thread cannot be started.
std::vector<std::unique_ptr<SourceReader>> ReadAhead(std::vector<AheadView>& views, unsigned threads);

}  // namespace plivora
