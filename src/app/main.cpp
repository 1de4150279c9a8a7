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

// What `plivora --help` prints.
const char* const kUsage =
    "usage: plivora [FILE...]\n"
    "The Plivora window. FILEs are views to import (TIFF, PNG, JPEG, .gjs) or a job\n"
    "(.plivora) to open. The window needs a desktop session; plivora-interlace runs\n"
    "exports and jobs without one.\n"
    "  -h, --help     this text\n"
    "  --version      the program's version\n";

// Answers --help and --version, and refuses to start without a display,
// before the toolkit would abort for want of one. Returns the exit status,
// or -1 to go on.
int BeforeTheWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg(argv[i]);
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("plivora %s\n", PLIVORA_VERSION);
      return 0;
    }
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    std::fputs("plivora: the window needs a desktop session (DISPLAY or WAYLAND_DISPLAY is not set); "
               "plivora-interlace exports without one\n",
               stderr);
    return 1;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = BeforeTheWindow(argc, argv); status >= 0) return status;
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
  // Files named on the command line ("Open with") are imported as if
  // chosen in the import dialog, or opened when one is a job; the toolkit
  // has taken its own options out of argv. Arguments that name no file are
  // reported together, once.
  QStringList files;
  for (int i = 1; i < argc; ++i) files << plivora::AbsoluteFileName(plivora::FileNameFromNative(argv[i]));
  if (!files.isEmpty()) plivora::RunGuarded(desktop, form1, [&] { form1->OpenFromCommandLine(files); });
  return app.exec();
}
