// The window's own words (its menus, dialogs, summary and messages) in the
// caption language the window shows, which Ctrl+L switches: English or
// Chinese. The controls' captions keep their own sets (captions.h).
#pragma once

#include <QString>

namespace plivora {

// Whether the window shows its Chinese captions; the window sets it.
void SetChineseWording(bool chinese);
bool ChineseWording();

// `english` or `chinese`, as the window shows its captions.
inline QString Words(const QString& english, const QString& chinese) { return ChineseWording() ? chinese : english; }

}  // namespace plivora
