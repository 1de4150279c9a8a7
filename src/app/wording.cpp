#include "app/wording.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <atomic>

namespace plivora {

namespace {

std::atomic<bool> chinese{false};

// Qt's own texts (the buttons of message boxes, file dialogs, the edit
// fields' menus) in Simplified Chinese, from the translations Debian's
// qt6-translations-l10n installs; without them those texts stay English.
QTranslator* QtChinese() {
  static QTranslator translator;
  static const bool loaded = translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  return loaded ? &translator : nullptr;
}

}  // namespace

void SetChineseWording(bool value) {
  chinese = value;
  if (!QCoreApplication::instance()) return;
  if (QTranslator* t = QtChinese()) {
    if (value)
      QCoreApplication::installTranslator(t);
    else
      QCoreApplication::removeTranslator(t);
  }
}

bool ChineseWording() { return chinese; }

}  // namespace plivora
