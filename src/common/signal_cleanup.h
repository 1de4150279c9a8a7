// Temporary files that must not outlive the process, whatever signal ends it.
//
// The output is written to an unnamed file where the file system allows it;
// only where it does not, and for the instant between naming a finished file
// and renaming it over an earlier one, does a temporary name exist. Those
// names are registered here, and a terminating signal removes them before
// the process ends.
#pragma once

#include <QByteArray>

namespace plivora {

// Installs handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT that remove every
// registered file and then end the process by the same signal, so its exit
// status says what happened (128 + signal in a shell). A signal ignored when
// the program started (nohup) stays ignored. SIGXFSZ is ignored, so that a
// write past the file size limit (ulimit -f) fails with EFBIG and is reported
// instead of killing the process. Call once, early in main.
void InstallSignalCleanup();

// Defers a terminating signal for the lifetime of the object, while files
// get their names: several files named together (the panels of one print)
// all get theirs, or none does. A signal that arrives meanwhile takes effect
// when the hold ends by an exception (the naming failed and was undone).
// When it ends normally, every file has its name and the work has
// succeeded: the signal is kept for TakeDeferredSignal instead. One hold at
// a time, from one thread.
class SignalCleanupHold {
 public:
  SignalCleanupHold();
  ~SignalCleanupHold();
  SignalCleanupHold(const SignalCleanupHold&) = delete;
  SignalCleanupHold& operator=(const SignalCleanupHold&) = delete;

 private:
  int exceptions_;
};

// The signal that arrived during a hold that ended in success, once; 0 when
// none did. The program decides what it means: the command line has done
// its work, and a window that was asked to end does so.
int TakeDeferredSignal();
// Ends the process by the deferred signal, if there is one.
void RaiseDeferredSignal();

// Registers a file for removal should a signal end the process, for the
// lifetime of the object. Registering never fails; past the handful of slots
// there are, a name is simply not covered.
class SignalCleanupSlot {
 public:
  explicit SignalCleanupSlot(const QByteArray& nativePath);
  ~SignalCleanupSlot() { Release(); }
  SignalCleanupSlot(const SignalCleanupSlot&) = delete;
  SignalCleanupSlot& operator=(const SignalCleanupSlot&) = delete;
  // The file is no longer this process's to remove (renamed into place, or
  // removed already).
  void Release();

 private:
  int slot_ = -1;
};

}  // namespace plivora
