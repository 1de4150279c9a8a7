#include "common/task_pool.h"

#include <sys/resource.h>

#include <QByteArray>
#include <algorithm>
#include <optional>
#include <system_error>
#include <utility>

#include "common/error.h"

namespace plivora {

namespace {

// `requested`, else PLIVORA_THREADS, else nothing: the hardware decides.
std::optional<unsigned> ChosenThreads(int requested) {
  if (requested > 0) return unsigned(std::min(requested, 256));
  bool ok = false;
  const int fromEnvironment = qEnvironmentVariableIntValue("PLIVORA_THREADS", &ok);
  if (ok && fromEnvironment > 0) return unsigned(std::min(fromEnvironment, 256));
  return std::nullopt;
}

unsigned HardwareThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 256u); }

}  // namespace

unsigned WorkerThreads(int requested) { return ChosenThreads(requested).value_or(HardwareThreads()); }

unsigned ComposeThreads(int requested) {
  return ChosenThreads(requested).value_or(std::max(1u, HardwareThreads() - 1));
}

void LowerThisThreadsPriority() {
  // Linux keeps a nice value per thread; PRIO_PROCESS with 0 names the
  // calling thread only. A refusal leaves the thread as it was: it is only
  // slower to share the cores then.
  ::setpriority(PRIO_PROCESS, 0, 19);
}

Lane::Lane() {
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (const std::system_error& e) {
    Fail(QStringLiteral("Cannot start a thread: %1; a limit on processes (ulimit -u) or on memory (ulimit -v) may be "
                        "too low")
             .arg(SystemErrorText(e.code().value())));
  }
}

Lane::~Lane() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void Lane::Start(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    task_ = std::move(task);
    busy_ = true;
    error_ = nullptr;
  }
  changed_.notify_all();
}

void Lane::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void Lane::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stop_; });
    if (!busy_) return;  // stopped with nothing to do
    std::function<void()> task = std::move(task_);
    lock.unlock();
    std::exception_ptr error;
    try {
      task();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    busy_ = false;
    changed_.notify_all();
  }
}

TaskPool::TaskPool(unsigned count) {
  for (unsigned i = 1; i < std::max(count, 1u); ++i) lanes_.push_back(std::make_unique<Lane>());
}

void TaskPool::Run(const std::function<void(unsigned i)>& task) {
  for (unsigned i = 0; i < lanes_.size(); ++i) lanes_[i]->Start([&task, i] { task(i + 1); });
  std::exception_ptr first;
  try {
    task(0);
  } catch (...) {
    first = std::current_exception();
  }
  for (auto& lane : lanes_) {
    try {
      lane->Wait();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

}  // namespace plivora
