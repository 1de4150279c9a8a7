// Progress of long work, as a percentage from 0 to 100: the window turns it
// into its progress bar, the command line into a bar or a line on stderr.
#pragma once

#include <functional>

#include "common/numbers.h"

namespace plivora {

// Called with percentages from 0 to 100, only when the value changes.
using ProgressFn = std::function<void(int percent)>;

// Reports a percentage only when it changes; cheap when nobody listens.
class ProgressReporter {
 public:
  explicit ProgressReporter(const ProgressFn& fn) : fn_(fn) {}
  void Set(int percent) {
    if (percent == last_ || !fn_) return;
    last_ = percent;
    fn_(percent);
  }
  void Set(Real percent) { Set(int(Round(percent))); }

 private:
  const ProgressFn& fn_;
  int last_ = -1;
};

}  // namespace plivora
