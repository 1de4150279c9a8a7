// plivora-interlace: the export of the window, from the command line.
#include <unistd.h>

#include <QDateTime>
#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <new>

#include "cli/cli_options.h"
#include "common/error.h"
#include "common/file_names.h"
#include "output/export.h"
#include "output/signal_cleanup.h"
#include "series/source_image.h"
#include "series/view_series.h"

namespace {

using namespace plivora;

// A bar that redraws in place on a terminal; plain lines every 10 % otherwise.
class ProgressLine {
 public:
  explicit ProgressLine(bool quiet) : quiet_(quiet), terminal_(::isatty(STDERR_FILENO) == 1) {}

  void Show(int percent) {
    if (quiet_) return;
    if (terminal_) {
      const int filled = percent * 40 / 100;
      std::fprintf(stderr, "\r[%-40.*s] %3d%%", filled, "########################################", percent);
      std::fflush(stderr);
      drawn_ = true;
    } else if (percent / 10 != lastTenth_) {
      lastTenth_ = percent / 10;
      std::fprintf(stderr, "%d%%\n", percent);
    }
  }
  void End() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
  }

 private:
  const bool quiet_;
  const bool terminal_;
  bool drawn_ = false;
  int lastTenth_ = -1;
};

ExportRequest BuildRequest(const CliOptions& o) {
  ExportRequest req;
  req.texts.dpi = o.dpi;
  req.texts.lpi = o.lpi;
  req.texts.width = o.width;
  req.texts.compress = o.compress;
  req.texts.inch = o.inch;
  req.views = o.views;
  req.outputPath = AbsoluteFileName(o.output);
  req.now = QDateTime::currentDateTime();
  req.locale = QLocale::system();

  // The first view is the reference, as after an import in the window.
  SourceImage first;
  ReadSourceHeader(o.views.first(), first);
  req.firstPhotoWidth = int32_t(first.Width);
  req.firstPhotoHeight = int32_t(first.Height);
  req.negativeInput = IsNegativeExtension(PathExtension(o.views.first()));
  req.texts.height = o.height ? *o.height : HeightFromWidth(o.width, PhotoAspect(first.Width, first.Height));
  return req;
}

int Failed(ProgressLine& progress, const char* message) {
  progress.End();
  std::fprintf(stderr, "plivora-interlace: %s\n", message);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  InstallSignalCleanup();
  // Arguments are file names as often as not: kept byte for byte.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << FileNameFromNative(argv[i]);
  CliOptions options;
  try {
    options = ParseCliOptions(args);
  } catch (const Error& e) {
    std::fprintf(stderr, "plivora-interlace: %s\n%s", e.what(), kCliUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(kCliUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("plivora-interlace %s\n", PLIVORA_VERSION);
    return 0;
  }

  // Fonts for the caption strip need a QGuiApplication, never a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's own notices (a missing runtime folder, font substitutions) are not
  // the user's business; only its critical messages reach stderr.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "plivora-interlace: %s\n", qPrintable(message));
  });
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);

  ProgressLine progress(options.quiet);
  try {
    const ExportRequest request = BuildRequest(options);
    ExportInterlaced(request, [&](int percent) { progress.Show(percent); });
    progress.End();
  } catch (const Error& e) {
    return Failed(progress, e.what());
  } catch (const std::bad_alloc&) {
    return Failed(progress, "Not enough memory to export");
  } catch (const std::exception& e) {
    return Failed(progress, e.what());
  }
  return 0;
}
