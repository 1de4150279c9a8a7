#include "cli/command_line.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "common/file_names.h"
#include "output/signal_cleanup.h"

namespace plivora {

namespace {

// A bar that redraws in place on a terminal; plain lines every 10 % otherwise.
class ProgressLine {
 public:
  explicit ProgressLine(bool quiet) : quiet_(quiet), terminal_(::isatty(STDERR_FILENO) == 1) {}
  ~ProgressLine() { End(); }

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

const std::vector<OptionSpec> kCommonOptions = {
    {QStringLiteral("--help"), QStringLiteral("-h")},
    {QStringLiteral("--version")},
    {QStringLiteral("--quiet"), QStringLiteral("-q")},
};

const OptionSpec* Find(const std::vector<OptionSpec>& specs, const QString& name) {
  for (const auto* list : {&kCommonOptions, &specs})
    for (const OptionSpec& s : *list)
      if (s.name == name || (!s.shortName.isEmpty() && s.shortName == name)) return &s;
  return nullptr;
}

int Failed(const char* program, const char* message) {
  std::fprintf(stderr, "%s: %s\n", program, message);
  return 1;
}

// Runs the program's job and reports its failure: 0, 1 (the job failed) or
// 2 (a usage error found by the job).
int RunJob(const CommandLineProgram& program, const ParsedOptions& options) {
  ProgressLine progress(options.Has(QStringLiteral("--quiet")));
  try {
    program.run(options, [&](int percent) { progress.Show(percent); });
  } catch (const UsageError& e) {
    progress.End();
    std::fprintf(stderr, "%s: %s\n%s", program.name, e.what(), program.usage);
    return 2;
  } catch (const Error& e) {
    progress.End();
    return Failed(program.name, e.what());
  } catch (const std::bad_alloc&) {
    progress.End();
    return Failed(program.name, "Not enough memory for this job");
  } catch (const std::exception& e) {
    progress.End();
    return Failed(program.name, e.what());
  }
  return 0;
}

}  // namespace

QString ParsedOptions::Value(const QString& name, const QString& fallback) const {
  const auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second;
}

std::optional<QString> ParsedOptions::Optional(const QString& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

ParsedOptions ParseOptions(const QStringList& args, const std::vector<OptionSpec>& specs) {
  ParsedOptions parsed;
  bool operandsOnly = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (operandsOnly || !a.startsWith(QChar('-')) || a == QLatin1String("-")) {
      parsed.operands_ << a;
      continue;
    }
    if (a == QLatin1String("--")) {
      operandsOnly = true;
      continue;
    }
    QString name = a;
    std::optional<QString> inlineValue;
    if (a.startsWith(QLatin1String("--")) && a.contains(QChar('='))) {
      name = a.section(QChar('='), 0, 0);
      inlineValue = a.section(QChar('='), 1);
    }
    const OptionSpec* known = Find(specs, name);
    if (!known) throw UsageError(QStringLiteral("unknown option %1 (see --help)").arg(a));
    if (!known->takesValue) {
      if (inlineValue) throw UsageError(QStringLiteral("option %1 takes no value").arg(name));
      parsed.values_[known->name] = QString();
      continue;
    }
    if (!inlineValue && i + 1 >= args.size()) throw UsageError(QStringLiteral("option %1 needs a value").arg(name));
    parsed.values_[known->name] = inlineValue ? *inlineValue : args[++i];
  }
  return parsed;
}

int ParseThreads(const ParsedOptions& options) {
  const std::optional<QString> text = options.Optional(QStringLiteral("--threads"));
  if (!text) return 0;
  bool ok = false;
  const int n = text->toInt(&ok);
  if (!ok || n < 1 || n > 256) throw UsageError(QStringLiteral("--threads takes a number from 1 to 256, not \"%1\"").arg(*text));
  return n;
}

bool ParseUnit(const QString& text) {
  if (text != QLatin1String("inch") && text != QLatin1String("cm"))
    throw UsageError(QStringLiteral("--unit must be inch or cm, not \"%1\"").arg(text));
  return text == QLatin1String("inch");
}

int RunCommandLineProgram(int argc, char** argv, const CommandLineProgram& program) {
  InstallSignalCleanup();
  // Arguments are file names as often as not: kept byte for byte.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << FileNameFromNative(argv[i]);
  ParsedOptions options;
  try {
    options = ParseOptions(args, program.options);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "%s: %s\n%s", program.name, e.what(), program.usage);
    return 2;
  }
  if (options.Has(QStringLiteral("--help"))) {
    std::fputs(program.usage, stdout);
    return 0;
  }
  if (options.Has(QStringLiteral("--version"))) {
    std::printf("%s %s\n", program.name, PLIVORA_VERSION);
    return 0;
  }

  // Qt's own notices (a missing runtime folder, font substitutions) are not
  // the user's business; only its critical messages reach stderr.
  static const char* name = program.name;
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s: %s\n", name, qPrintable(message));
  });
  // The C library follows the user's locale, as in the window, where the
  // toolkit sets it. Here the toolkit starts only when the caption strip is
  // drawn, beside the rows (RenderShrunk), so the locale is set now, before
  // any thread runs.
  std::setlocale(LC_ALL, "");

  const int status = RunJob(program, options);
  // Every output is in place or gone by now. What is left to tear down
  // (Qt's platform and fonts, the loaded libraries) the system takes back
  // faster than the destructors would: a few ms of a small job.
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace plivora
