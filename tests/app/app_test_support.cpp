#include "app_test_support.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QtTest>
#include <clocale>
#include <cstring>

#include "app/wording.h"
#include "sample/view_writer.h"

namespace plivora::test {

QStringList FakeDesktop::OpenFileNames(QWidget*, const FileDialogOptions& options) {
  openAsked << options;
  return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
}

QString FakeDesktop::SaveFileName(QWidget*, const FileDialogOptions& options, QString* selectedFilter) {
  saveAsked << options;
  if (saveAnswers.isEmpty()) return {};
  if (selectedFilter) *selectedFilter = saveFilter.isEmpty() ? options.filter.section(QStringLiteral(";;"), 0, 0) : saveFilter;
  return saveAnswers.takeFirst();
}

WindowRig::WindowRig(const QString& dir) {
  if (dir.isEmpty()) {
    ownDir = std::make_unique<QTemporaryDir>();
    exeDir = ownDir->path();
  } else {
    exeDir = dir;
  }
  window = std::make_unique<TForm1>(WindowEnvironment{&desktop, exeDir});
}

WindowRig::~WindowRig() = default;

QString WindowRig::settingsPath() const { return exeDir + QStringLiteral("/vexo/plivora133.yb13"); }

void WindowRig::Restart() {
  window.reset();
  window = std::make_unique<TForm1>(WindowEnvironment{&desktop, exeDir});
}

void WindowRig::Import(const QStringList& paths) {
  desktop.openAnswers << paths;
  window->Guard(&TForm1::BitBtn9Click);
}

QStringList WindowRig::items() const {
  QStringList list;
  for (int i = 0; i < window->ListBox1->count(); ++i) list << window->ListBox1->item(i)->text();
  return list;
}

QString WriteView(const QString& path, int width, int height, int seed, bool inverted) {
  std::vector<uint8_t> cmyk(size_t(width) * size_t(height) * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* px = &cmyk[(size_t(y) * size_t(width) + size_t(x)) * 4];
      px[0] = uint8_t(x + 10 * seed);
      px[1] = uint8_t(y);
      px[2] = uint8_t(seed * 20);
      px[3] = 3;
    }
  WriteViewFile(path, uint32_t(width), uint32_t(height), cmyk, inverted);
  return path;
}

QByteArray ImageRows(const QByteArray& exported) {
  if (exported.size() < 334) return {};
  const auto le = [&](int at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | uint8_t(exported[at + i]);
    return v;
  };
  // ImageWidth is the directory's second entry, a LONG.
  const qsizetype stripBytes = qsizetype(80) * le(8 + 2 + 12 + 8, 4) * 4;
  return exported.mid(334, exported.size() - 334 - stripBytes);
}

bool RequireCommaLocale() {
  if (std::strcmp(std::localeconv()->decimal_point, ",") == 0 && QLocale().decimalPoint() == QStringLiteral(","))
    return true;
  if (qEnvironmentVariableIsSet("PLIVORA_COMMA_LOCALE")) {
    QTest::qFail("PLIVORA_COMMA_LOCALE is set but the program does not run under a comma locale", __FILE__, __LINE__);
    return false;
  }
  QTest::qSkip("runs only under a comma locale (ctest's .comma run)", __FILE__, __LINE__);
  return false;
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    qFatal("cannot write %s", qPrintable(path));
}

void Trigger(TForm1& w, const char* action) {
  auto* a = w.findChild<QAction*>(QString::fromLatin1(action));
  QVERIFY2(a, action);
  a->trigger();
}

TForm1& English(WindowRig& rig) {
  if (ChineseWording()) rig.w().SwitchLanguage();
  return rig.w();
}

}  // namespace plivora::test
