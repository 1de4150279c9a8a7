// A job's views: a plain view is its file name (a text, or {"bytes":
// "<base64>"} for a name that is not UTF-8); a view with a shift or a turn
// is an object:
//
//   {"path": "views/v02.tif", "shift": [-1.5, 2], "turn": 0.25}
//
// ("bytes" in the place of "path" for a name that is not UTF-8). The shift
// is dx, dy in the view's own pixels (content moves right and down), the
// turn degrees anticlockwise as the picture is seen (series/view_transform.h);
// either may be left out, as 0.
#pragma once

#include <QJsonValue>
#include <QString>

#include "series/view_transform.h"

namespace plivora {

struct JobView {
  QString path;  // absolute
  ViewTransform transform;
};

// A view's refusal: the key at fault ("path", "shift", "turn", or "" for
// the view itself) and what is wrong.
struct ViewFault {
  QString key;
  QString reason;
};

// The view stored as `value`, its path taken relative to `folder`. Raises
// ViewFault.
JobView ViewFromJson(const QJsonValue& value, const QString& folder);
// A plain view as its name; a view with a shift or a turn as an object.
QJsonValue ViewToJson(const JobView& view, const QString& folder);

}  // namespace plivora
