// Threads for one piece of work: a pool that runs a set of tasks side by
// side (the row engine's column ranges, the preview's frames), and a lane
// that runs one task at a time beside the caller (the row engine's reader
// and writer). Both live for the length of one export or preview.
//
// A task's exception is kept and raised in the caller's thread by Run or
// Wait, with its message unchanged; a pool or lane destroyed while a task
// runs waits for it first, so nothing outlives the export's buffers.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace plivora {

// The number of threads for work that keeps every core busy (the preview's
// frames, the compression of an export's strips): `requested` when above 0,
// else PLIVORA_THREADS when it holds a number above 0, else the hardware's
// count (1 when unknown). At most 256.
unsigned WorkerThreads(int requested);
// The number of threads an export composes on: the same, except that the
// hardware's count is one fewer (at least 1), since the export's reader and
// writer threads keep a core busy between them. On two cores a second
// composing thread made the worked example and a 1 GB job 9 % and 15 %
// slower.
unsigned ComposeThreads(int requested);

// Gives the calling thread the lowest scheduling priority (nice 19) for the
// rest of its life, leaving every other thread of the process as it was: it
// then runs on what the others leave of the cores.
void LowerThisThreadsPriority();

// Runs one task at a time on a thread of its own.
class Lane {
 public:
  Lane();
  ~Lane();
  Lane(const Lane&) = delete;
  Lane& operator=(const Lane&) = delete;

  // Starts `task`; the previous one must have been waited for.
  void Start(std::function<void()> task);
  // Waits for the task started last (if any) and raises its exception.
  void Wait();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;
  bool busy_ = false, stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

// Runs `count` tasks side by side: the caller's thread takes one share, and
// count - 1 lanes the others.
class TaskPool {
 public:
  explicit TaskPool(unsigned count);
  unsigned size() const { return unsigned(lanes_.size()) + 1; }
  // Calls task(i) for i in [0, size()) at once and waits for all; raises the
  // first exception after every task has ended.
  void Run(const std::function<void(unsigned i)>& task);

 private:
  std::vector<std::unique_ptr<Lane>> lanes_;
};

}  // namespace plivora
