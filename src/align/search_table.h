// What the programs and the alignment search module say to each other.
// The module (plivora-search.so) holds every call into OpenCV and is
// opened with dlopen only when views are aligned, so that a run that
// aligns nothing never loads OpenCV. Plain types only on this border: no
// OpenCV, no Qt, and nothing thrown across it; every call answers with an
// outcome.
#pragma once

namespace plivora::search {

// Raised whenever a function of the table, its arguments or the structs
// below change; the loader refuses a module of another version.
constexpr int kInterfaceVersion = 1;

// A grey copy of a view: `width` x `height` samples, 0 (black) to 255, rows
// top to bottom, no gaps between them. The caller owns the samples.
struct GreyPicture {
  int width = 0, height = 0;
  const float* samples = nullptr;
};

struct Point {
  double x = 0, y = 0;
};

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

// How B lies against A: B(turn (p - centre) + centre + (keyDx, dy)) shows
// A(p) for p in the key rectangle, turn anticlockwise as seen.
struct Motion {
  double radians = 0;
  double dy = 0;     // copy pixels
  double keyDx = 0;  // copy pixels
  bool byFeatures = false;  // the views differ too much for the patches alone
  int patches = 0;          // patches that agreed on the fit
};

// The horizontal disparity of B against A once B's motion is taken out,
// per pixel with texture: the 1st and 99th percentiles, copy pixels.
struct Spread {
  double low = 0, high = 0;
};

enum class Status : int {
  kDone = 0,
  kNoMatch = 1,      // the pair has too little detail in common
  kFailed = 2,       // the library failed: `message` is its own text
  kOutOfMemory = 3,
};

// `message` (UTF-8) stays valid until the same thread's next call.
struct Outcome {
  Status status = Status::kDone;
  const char* message = "";
};

struct Table {
  int version = kInterfaceVersion;
  // Smooths a copy in place: a Gaussian of one copy pixel.
  Outcome (*smooth)(int width, int height, float* samples);
  // B against A (copies of one reduction) about `centre`, the key rectangle in A's pixels.
  Outcome (*measurePair)(GreyPicture a, GreyPicture b, Point centre, Rect key, Motion* motion);
  Outcome (*disparitySpread)(GreyPicture a, GreyPicture b, Point centre, const Motion* motion, Spread* spread);
};

}  // namespace plivora::search

// The module's one exported symbol: its table, never null.
#define PLIVORA_SEARCH_ENTRY "plivora_search_table"
extern "C" {
using PlivoraSearchEntry = const plivora::search::Table* (*)();
}
