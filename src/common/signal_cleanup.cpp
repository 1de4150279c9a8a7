#include "common/signal_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <exception>

namespace plivora {

namespace {

enum SlotState : int { kFree, kBusy, kArmed };

// A fixed table: the handler may only read memory that exists already and
// call async-signal-safe functions (unlink, signal, raise).
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
// Up to 64 panels, each with a temporary, and a few more files.
constexpr int kSlots = 80;
Slot g_slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

std::atomic<bool> g_holding{false};
std::atomic<int> g_pending{0};   // a signal that arrived during a hold
std::atomic<int> g_deferred{0};  // one kept when the hold ended in success

extern "C" void RemoveAndDie(int sig) {
  if (g_holding.load(std::memory_order_acquire)) {
    g_pending.store(sig, std::memory_order_release);
    return;
  }
  for (Slot& s : g_slots)
    if (s.state.load(std::memory_order_acquire) == kArmed) ::unlink(s.path);
  // Delivered again when the handler returns, now with the default action.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

void InstallSignalCleanup() {
  for (const int sig : kSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveAndDie;
    sigemptyset(&action.sa_mask);
    for (const int other : kSignals) sigaddset(&action.sa_mask, other);
    ::sigaction(sig, &action, nullptr);
  }
  ::signal(SIGXFSZ, SIG_IGN);
}

SignalCleanupHold::SignalCleanupHold() : exceptions_(std::uncaught_exceptions()) {
  g_holding.store(true, std::memory_order_release);
}

SignalCleanupHold::~SignalCleanupHold() {
  g_holding.store(false, std::memory_order_release);
  const int sig = g_pending.exchange(0, std::memory_order_acq_rel);
  if (sig == 0) return;
  if (std::uncaught_exceptions() > exceptions_) RemoveAndDie(sig);
  g_deferred.store(sig, std::memory_order_release);
}

int TakeDeferredSignal() { return g_deferred.exchange(0, std::memory_order_acq_rel); }

void RaiseDeferredSignal() {
  if (const int sig = TakeDeferredSignal()) RemoveAndDie(sig);
}

SignalCleanupSlot::SignalCleanupSlot(const QByteArray& nativePath) {
  if (nativePath.size() >= PATH_MAX) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kBusy)) continue;
    std::memcpy(g_slots[i].path, nativePath.constData(), size_t(nativePath.size()) + 1);
    g_slots[i].state.store(kArmed, std::memory_order_release);
    slot_ = i;
    return;
  }
}

void SignalCleanupSlot::Release() {
  if (slot_ < 0) return;
  g_slots[slot_].state.store(kFree, std::memory_order_release);
  slot_ = -1;
}

}  // namespace plivora
