// The window's own words (its menus, dialogs, summary and messages) in the
// caption language the window shows, which Ctrl+L switches: English or
// Chinese. The controls' captions keep their own sets (captions.h); Qt's own
// texts (standard buttons, file dialogs) follow through Qt's translations.
#pragma once

#include <QString>

namespace plivora {

// Whether the window shows its Chinese captions; the window sets it, and
// with it Qt's translations of its own texts.
void SetChineseWording(bool chinese);
bool ChineseWording();

// `english` or `chinese`, as the window shows its captions.
inline QString Words(const QString& english, const QString& chinese) { return ChineseWording() ? chinese : english; }

// A message of the core (which speaks English only: a file's or profile's
// refusal, a job's reading error) as the window shows it: as it stands in
// English, inside `chineseFrame` ("无法读取档案：%1") in Chinese.
inline QString CoreWords(const QString& chineseFrame, const QString& message) {
  return ChineseWording() ? chineseFrame.arg(message) : message;
}

}  // namespace plivora
