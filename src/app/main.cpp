// plivora: the desktop program. The main window is made first (its create
// step loads the settings), then the splash shows for about a second or
// until clicked, then the main window runs until it is closed.
#include <QApplication>
#include <QScreen>
#include <cstdio>

#include "app/app_title.h"
#include "app/desktop.h"
#include "app/error_guard.h"
#include "app/form1.h"
#include "app/form2.h"
#include "common/error.h"
#include "common/file_names.h"
#include "common/signal_cleanup.h"
#include "drawing/fill_threads.h"

namespace {

void Centre(QWidget& window) {
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect frame = window.frameGeometry();
  QRect placed(QPoint(), frame.size());
  placed.moveCenter(screen->availableGeometry().center());
  window.move(placed.topLeft());
}

}  // namespace

int main(int argc, char** argv) {
  // Closed or killed during an export, the window leaves no temporary file.
  plivora::InstallSignalCleanup();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("plivora"));
  // Drawing waits on Qt's thread pool; under a limit that refuses its
  // threads the window would hang in its first large fill.
  try {
    plivora::EnsureFillThreads();
  } catch (const plivora::Error& e) {
    std::fprintf(stderr, "plivora: %s\n", e.what());
    return 1;
  }

  plivora::QtDesktop desktop;
  auto* form1 = new plivora::TForm1({&desktop, QApplication::applicationDirPath()});
  form1->setAttribute(Qt::WA_DeleteOnClose);
  auto* form2 = new plivora::TForm2(desktop);
  form1->Form2 = form2;
  Centre(*form2);
  form2->show();
  // The wait: events (the main window's timer, a click on the splash) are
  // handled here until the splash's timer is off.
  while (form2->waiting()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  form2->hide();

  Centre(*form1);
  form1->show();
  // Files named on the command line ("Open with") are imported as if chosen
  // in the import dialog; the toolkit has taken its own options out of argv.
  QStringList files;
  for (int i = 1; i < argc; ++i) files << plivora::AbsoluteFileName(plivora::FileNameFromNative(argv[i]));
  if (!files.isEmpty()) plivora::RunGuarded(desktop, form1, [&] { form1->ImportFromOutside(files); });
  return app.exec();
}
