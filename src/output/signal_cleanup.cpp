#include "output/signal_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace plivora {

namespace {

enum SlotState : int { kFree, kBusy, kArmed };

// A fixed table: the handler may only read memory that exists already and
// call async-signal-safe functions (unlink, signal, raise).
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
constexpr int kSlots = 16;
Slot g_slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RemoveAndDie(int sig) {
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
