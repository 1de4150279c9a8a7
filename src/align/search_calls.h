// The alignment search as the programs call it: each call goes through
// the module (search_module.h), and its outcome becomes our errors,
// worded for the operator.
#pragma once

#include <QString>

#include "align/grey_copy.h"
#include "align/search_table.h"

namespace plivora {

// Smooths the copy in place (grey_copy.h).
void SmoothGreyCopy(GreyCopy& copy);

// How B lies against A (search_table.h), about `centre`, the key rectangle
// in A's copy pixels. Raises "Cannot align PAIR: they have too little
// detail in common ..." when nothing matches, `pairName` naming the pair.
search::Motion MeasurePair(const GreyCopy& a, const GreyCopy& b, search::Point centre, search::Rect key,
                           const QString& pairName);

// The disparity left between A and B once `motion` is taken out.
search::Spread DisparitySpread(const GreyCopy& a, const GreyCopy& b, search::Point centre, const search::Motion& motion);

}  // namespace plivora
