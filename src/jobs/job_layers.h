// A job's layers, back to front, each an object:
//
//   {"path": "art/logo.png", "depth": 0.75, "position": [120, 40]}
//
// ("bytes" in the place of "path" for a name that is not UTF-8). The depth
// is in lens widths at the plate (0 on the print's plane, positive in front
// of it; left out, 0), the position the layer's top left corner in pixels
// of the bottom layer (left out, 0, 0). A job with layers lists no views.
#pragma once

#include <QJsonValue>
#include <QString>

#include "jobs/job_views.h"
#include "series/layered_views.h"

namespace plivora {

// The layer stored as `value`, its path taken relative to `folder`. Raises
// ViewFault with the key at fault ("path", "depth", "position", or "" for
// the layer itself).
Layer LayerFromJson(const QJsonValue& value, const QString& folder);
QJsonValue LayerToJson(const Layer& layer, const QString& folder);

}  // namespace plivora
