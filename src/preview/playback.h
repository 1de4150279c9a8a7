// The order in which the animated preview shows its frames: 1, 2, ..., N,
// N, N - 1, ..., 1, 1, 2, ... (frames numbered from 1). Each end frame shows
// for two steps in a row; one cycle is 2N steps.
//
// The step counter is 64 bits wide, so the cycle holds for any series the
// view list can hold (an 8-bit counter would break from 128 views on).
#pragma once

#include <cstdint>

namespace plivora {

// The step after step k of a series of n >= 1 frames. Playback starts at
// k = 0; steps run 1 .. 2n, then start again at 1.
constexpr int64_t NextPlaybackStep(int64_t k, int64_t n) {
  ++k;
  return k > 2 * n ? 1 : k;
}

// The frame (1 .. n) that step k (1 .. 2n) shows.
constexpr int64_t PlaybackFrame(int64_t k, int64_t n) { return k <= n ? k : 2 * n - k + 1; }

}  // namespace plivora
