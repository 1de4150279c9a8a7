// The alignment search module's side of the border (search_table.h): the
// table of its calls, each running OpenCV with every exception caught and
// turned into an outcome, OpenCV's own log silenced (it would print on the
// terminal).
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>

#include <exception>
#include <new>
#include <string>

#include "align/pair_motion.h"
#include "align/search_table.h"

namespace plivora::search {

namespace {

// The last failure's text of this thread: what Outcome::message points at.
thread_local std::string lastMessage;

// Runs f, which answers kDone or kNoMatch; what it throws becomes the outcome.
template <class F>
Outcome Guarded(F&& f) {
  try {
    return {f(), ""};
  } catch (const std::bad_alloc&) {
    return {Status::kOutOfMemory, ""};
  } catch (const cv::Exception& e) {
    lastMessage = e.err;
  } catch (const std::exception& e) {
    lastMessage = e.what();
  } catch (...) {
    lastMessage = "unknown failure";
  }
  return {Status::kFailed, lastMessage.c_str()};
}

// A view of the caller's samples (no copy); nothing here writes to a or b.
cv::Mat MatOf(const GreyPicture& p) { return cv::Mat(p.height, p.width, CV_32F, const_cast<float*>(p.samples)); }

Outcome Smooth(int width, int height, float* samples) {
  return Guarded([&] {
    cv::Mat grey(height, width, CV_32F, samples);
    cv::GaussianBlur(grey, grey, cv::Size(), 1.0);
    return Status::kDone;
  });
}

Outcome MeasurePairCall(GreyPicture a, GreyPicture b, Point centre, Rect key, Motion* motion) {
  return Guarded([&] {
    const auto found = MeasurePair(MatOf(a), MatOf(b), {centre.x, centre.y}, {key.x, key.y, key.width, key.height});
    if (!found) return Status::kNoMatch;
    *motion = *found;
    return Status::kDone;
  });
}

Outcome DisparitySpreadCall(GreyPicture a, GreyPicture b, Point centre, const Motion* motion, Spread* spread) {
  return Guarded([&] {
    *spread = DisparitySpread(MatOf(a), MatOf(b), {centre.x, centre.y}, *motion);
    return Status::kDone;
  });
}

const Table kTable{kInterfaceVersion, Smooth, MeasurePairCall, DisparitySpreadCall};

}  // namespace

}  // namespace plivora::search

extern "C" __attribute__((visibility("default"))) const plivora::search::Table* plivora_search_table() {
  static const bool quiet = [] {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    return true;
  }();
  (void)quiet;
  return &plivora::search::kTable;
}
