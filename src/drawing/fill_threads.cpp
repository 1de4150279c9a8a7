#include "drawing/fill_threads.h"

#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "common/error.h"

namespace plivora {

namespace {

// QThreadPool says nothing when a thread fails to start but this message,
// printed in the thread that asked, before start() returns.
std::atomic<bool> g_refused{false};
QtMessageHandler g_previous = nullptr;

void NoteRefusal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if ((type == QtCriticalMsg || type == QtWarningMsg) && message.startsWith(QLatin1String("QThread::start: Thread creation error"))) {
    g_refused = true;
    return;
  }
  g_previous(type, context, message);
}

// The pool's threads, each held until all have arrived: a thread that ended
// its task at once would be handed the next one, and the pool would never
// start all it may.
struct Muster {
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0;
  bool dismissed = false;

  void Dismiss() {
    {
      std::lock_guard lock(mutex);
      dismissed = true;
    }
    changed.notify_all();
  }
};

// Empty when every thread started, else the reason.
QString StartAllThreads() {
  QThreadPool* pool = QThreadPool::globalInstance();
  pool->setExpiryTimeout(-1);  // a thread that expired would have to start again
  const int count = pool->maxThreadCount();
  const auto muster = std::make_shared<Muster>();
  g_refused = false;
  g_previous = qInstallMessageHandler(NoteRefusal);
  int asked = 0;
  for (; asked < count && !g_refused; ++asked)
    pool->start([muster] {
      std::unique_lock lock(muster->mutex);
      ++muster->arrived;
      muster->changed.notify_all();
      muster->changed.wait(lock, [&] { return muster->dismissed; });
    });
  qInstallMessageHandler(g_previous);
  if (g_refused) {
    muster->Dismiss();
    return QStringLiteral("Cannot start the threads that draw text: the system refused one (%1 of %2 started); a "
                          "limit on processes (ulimit -u) or on memory (ulimit -v) may be too low")
        .arg(asked - 1)
        .arg(count);
  }
  {
    std::unique_lock lock(muster->mutex);
    muster->changed.wait(lock, [&] { return muster->arrived == count; });
  }
  muster->Dismiss();
  return QString();
}

}  // namespace

void EnsureFillThreads() {
  static const QString refusal = StartAllThreads();  // thread-safe, once
  if (!refusal.isEmpty()) Fail(refusal);
}

}  // namespace plivora
