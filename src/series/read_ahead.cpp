#include "series/read_ahead.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>

#include "common/error.h"
#include "common/task_pool.h"
#include "series/view_error.h"

namespace plivora {

namespace {

// Rows a worker reads of one view before it looks again for the view that
// needs it most: a few, so that a decoder's state stays in the cache, but
// few enough that no view waits long for a worker.
constexpr uint32_t kTurnRows = 8;

// One view and its ring of slots. Slots are taken in turn: the worker fills
// slot produced % ring, the reader takes slot released % ring; a slot the
// reader holds (its last row, which may be asked for again) is not free.
struct Stream {
  std::unique_ptr<SourceReader> reader;
  std::vector<uint32_t> rows;
  size_t rowBytes = 0;
  uint32_t ring = 0;
  std::vector<uint8_t> ringRows;  // ring rows of rowBytes
  std::vector<uint32_t> slotRow;  // the row each slot holds
  size_t next = 0;                // the index in `rows` of the next row to read
  uint64_t produced = 0, released = 0;
  bool held = false;              // the reader holds slot released % ring
  bool busy = false;              // a worker is reading rows
  bool retired = false;           // its reader is going away
  bool waiting = false;           // the reader waits for `want` rows
  uint64_t want = 0;
  std::exception_ptr error;       // what reading rows[next] raised

  uint64_t Ready() const { return produced - released; }
  // The rows of a turn: kTurnRows, as far as the rows left and the ring
  // allow (the reader may hold one slot).
  uint64_t Turn() const { return std::min<uint64_t>({kTurnRows, std::max<uint32_t>(ring - 1, 1), rows.size() - next}); }
  // Workers take a view, and the reader waits for one, a turn's rows at a
  // time: handing rows over one by one would cost two switches of threads
  // a row when decoding sets the pace.
  bool Wanted() const { return !busy && !retired && !error && next < rows.size() && ring - Ready() >= Turn(); }
  bool Enough() const { return Ready() >= want || error || next == rows.size(); }
  uint8_t* Slot(uint64_t k) { return ringRows.data() + size_t(k % ring) * rowBytes; }
};

class Workers {
 public:
  ~Workers() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    work_.notify_all();
    lanes_.clear();  // each waits for its loop to end
  }

  void Start(unsigned threads) {
    for (unsigned t = 0; t < threads; ++t) {
      lanes_.push_back(std::make_unique<Lane>());
      lanes_.back()->Start([this] { Work(); });
    }
  }

  // Room for `count` streams, so that Add cannot fail.
  void Reserve(size_t count) {
    std::lock_guard lock(mutex_);
    streams_.reserve(streams_.size() + count);
  }
  // Hands the streams to the workers.
  void Add(std::vector<std::unique_ptr<Stream>>& streams) {
    {
      std::lock_guard lock(mutex_);
      for (auto& s : streams) streams_.push_back(std::move(s));
    }
    work_.notify_all();
  }

  void Take(Stream& s, const QString& path, uint32_t row, uint8_t* dest);
  void Retire(Stream& s);

 private:
  Stream* Neediest();
  void Work();
  void ReadTurn(Stream& s, std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable work_;  // for the workers: a slot came free, or stop
  std::condition_variable rows_;  // for the readers: a row came, or a worker let go
  std::vector<std::unique_ptr<Stream>> streams_;
  bool stop_ = false;
  std::vector<std::unique_ptr<Lane>> lanes_;
};

// The view with the fewest rows ready, the first of them on a tie: the
// caller asks for the views' rows in turn, so that is the one it waits for
// first.
Stream* Workers::Neediest() {
  Stream* best = nullptr;
  for (const auto& s : streams_)
    if (s->Wanted() && (!best || s->Ready() < best->Ready())) best = s.get();
  return best;
}

void Workers::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Stream* s = nullptr;
    work_.wait(lock, [&] { return stop_ || (s = Neediest()) != nullptr; });
    if (stop_) return;
    ReadTurn(*s, lock);
  }
}

// Reads a turn's rows of `s` into free slots, each handed over as soon as
// it is read. Called and returns with the lock held; reads without.
void Workers::ReadTurn(Stream& s, std::unique_lock<std::mutex>& lock) {
  s.busy = true;
  for (uint64_t n = s.Turn(); n > 0 && !stop_ && !s.retired; --n) {
    const uint32_t row = s.rows[s.next];
    uint8_t* slot = s.Slot(s.produced);
    lock.unlock();
    std::exception_ptr error;
    try {
      s.reader->ReadRow(row, slot);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error) {
      s.error = error;
    } else {
      s.slotRow[s.produced % s.ring] = row;
      ++s.produced;
      ++s.next;
    }
    if (s.waiting && s.Enough()) rows_.notify_all();
    if (error) break;
  }
  s.busy = false;
  if (s.retired) rows_.notify_all();
  if (s.Wanted()) work_.notify_one();  // a worker that sleeps may take it on
}

void Workers::Take(Stream& s, const QString& path, uint32_t row, uint8_t* dest) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (s.held && s.slotRow[s.released % s.ring] == row) break;
    if (s.held) {
      s.held = false;
      ++s.released;
      if (s.Wanted()) work_.notify_one();
      continue;
    }
    if (s.Ready() > 0) {
      const uint32_t at = s.slotRow[s.released % s.ring];
      if (at > row)
        FailView(path, QStringLiteral("row %1 was asked for out of order (a fault in this program)").arg(row));
      s.held = true;
      continue;  // taken when it is the row; let go otherwise
    }
    if (s.error) std::rethrow_exception(s.error);
    if (s.next == s.rows.size())
      FailView(path, QStringLiteral("row %1 was not among the rows to be read (a fault in this program)").arg(row));
    s.want = s.Turn();
    s.waiting = true;
    rows_.wait(lock, [&] { return s.Enough(); });
    s.waiting = false;
  }
  uint8_t* slot = s.Slot(s.released);
  lock.unlock();
  std::memcpy(dest, slot, s.rowBytes);  // the held slot is the reader's alone
}

void Workers::Retire(Stream& s) {
  std::unique_lock lock(mutex_);
  s.retired = true;
  rows_.wait(lock, [&] { return !s.busy; });
}

// What the caller asks in place of a view's reader.
class AheadReader final : public SourceReader {
 public:
  AheadReader(std::shared_ptr<Workers> workers, Stream& stream, const SourceImage& image)
      : workers_(std::move(workers)), stream_(stream) {
    image_ = image;
  }
  ~AheadReader() override { workers_->Retire(stream_); }

  void ReadRow(uint32_t row, uint8_t* dest) override {
    if (row >= image_.Height) FailView(image_.Path, QStringLiteral("its pixel data ends before row %1").arg(row));
    workers_->Take(stream_, image_.Path, row, dest);
  }

 private:
  std::shared_ptr<Workers> workers_;
  Stream& stream_;
};

// The rows in flight of each view, when a row of every view read ahead
// takes `rowBytes` together.
uint32_t AheadRowsOf(uint64_t rowBytes) {
  if (rowBytes == 0) return kAheadRows;
  return uint32_t(std::clamp<uint64_t>(kAheadBytes / rowBytes, 2, kAheadRows));
}

}  // namespace

std::vector<std::unique_ptr<SourceReader>> ReadAhead(std::vector<AheadView>& views, unsigned threads) {
  uint64_t rowBytes = 0;
  for (const AheadView& v : views) rowBytes += uint64_t(v.reader->image().Width) * 4;
  const uint32_t ring = AheadRowsOf(rowBytes);
  // The threads and the slots first: the readers are taken only once
  // nothing can fail.
  const auto workers = std::make_shared<Workers>();
  workers->Start(std::clamp<unsigned>(threads, 1, unsigned(std::max<size_t>(views.size(), 1))));
  std::vector<std::unique_ptr<Stream>> streams;
  std::vector<std::unique_ptr<SourceReader>> readers;
  streams.reserve(views.size());
  readers.reserve(views.size());
  for (const AheadView& v : views) {
    auto s = std::make_unique<Stream>();
    s->rowBytes = size_t(v.reader->image().Width) * 4;
    s->ring = ring;
    s->ringRows.resize(s->rowBytes * ring);
    s->slotRow.resize(ring);
    streams.push_back(std::move(s));
    readers.push_back(std::make_unique<AheadReader>(workers, *streams.back(), v.reader->image()));
  }
  workers->Reserve(streams.size());
  for (size_t i = 0; i < views.size(); ++i) {
    streams[i]->reader = std::move(views[i].reader);
    streams[i]->rows = std::move(views[i].rows);
  }
  workers->Add(streams);
  return readers;
}

}  // namespace plivora
