// The two caption sets of the main window: the labels of the top band and a
// few hidden controls, in Chinese or in English.
#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace plivora {

struct Caption {
  const char* control;  // objectName
  QString text;
};

// The set for the language; both list the same ten controls in the same order.
const std::vector<Caption>& CaptionSet(bool chinese);

// Sets each control's caption (labels, check boxes, group boxes, buttons),
// found by name below `window`, in the set's order.
void ApplyCaptionSet(QWidget* window, const std::vector<Caption>& set);

}  // namespace plivora
