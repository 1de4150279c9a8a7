#include "align/search_calls.h"

#include <new>

#include "align/search_module.h"
#include "common/error.h"

namespace plivora {

namespace {

// Raises what a failed outcome means; `what` names the step, as in
// "Cannot align the views: measuring views 1 and 2 (OpenCV: MESSAGE)".
void Check(const search::Outcome& outcome, const QString& what, const QString& pairName = {}) {
  switch (outcome.status) {
    case search::Status::kDone: return;
    case search::Status::kOutOfMemory: throw std::bad_alloc();
    case search::Status::kNoMatch:
      Fail(QStringLiteral("Cannot align %1: they have too little detail in common to be matched (aligning needs "
                          "texture across the picture; a rendered series needs no aligning)").arg(pairName));
    case search::Status::kFailed: break;
  }
  Fail(QStringLiteral("Cannot align the views: %1 (OpenCV: %2)").arg(what, QString::fromUtf8(outcome.message)));
}

}  // namespace

void SmoothGreyCopy(GreyCopy& copy) {
  Check(SearchTable().smooth(copy.columns, copy.rows, copy.samples.data()), QStringLiteral("smoothing a view's copy"));
}

search::Motion MeasurePair(const GreyCopy& a, const GreyCopy& b, search::Point centre, search::Rect key,
                           const QString& pairName) {
  search::Motion motion;
  Check(SearchTable().measurePair(a.Picture(), b.Picture(), centre, key, &motion),
        QStringLiteral("measuring %1").arg(pairName), pairName);
  return motion;
}

search::Spread DisparitySpread(const GreyCopy& a, const GreyCopy& b, search::Point centre, const search::Motion& motion) {
  search::Spread spread;
  Check(SearchTable().disparitySpread(a.Picture(), b.Picture(), centre, &motion, &spread),
        QStringLiteral("measuring the depth"));
  return spread;
}

}  // namespace plivora
