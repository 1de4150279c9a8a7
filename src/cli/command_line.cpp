#include "cli/command_line.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "common/file_names.h"
#include "common/signal_cleanup.h"

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

const Option* Find(const std::vector<Option>& options, const QString& name) {
  for (const Option& o : options)
    if (o.name == name || (!o.shortName.isEmpty() && o.shortName == name)) return &o;
  return nullptr;
}

// Every option of the program: its own, then the common ones.
std::vector<Option> AllOptions(const CommandLineProgram& program) {
  std::vector<Option> all = program.options;
  for (Option& o : CommonOptions()) all.push_back(std::move(o));
  return all;
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
    std::fprintf(stderr, "%s: %s\n%s", program.name, e.what(), qPrintable(UsageText(program)));
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

QStringList ParsedOptions::All(const QString& name) const {
  const auto it = all_.find(name);
  return it == all_.end() ? QStringList() : it->second;
}

void ParsedOptions::Set(const QString& name, const QString& value) {
  values_[name] = value;
  all_[name] << value;
  sequence_.emplace_back(name, value);
}

std::optional<QString> ParsedOptions::Optional(const QString& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::vector<Option> CommonOptions() {
  return {{QStringLiteral("--quiet"), QStringLiteral("-q"), {}, QStringLiteral("no progress output")},
          {QStringLiteral("--help"), QStringLiteral("-h"), {}, QStringLiteral("this text")},
          {QStringLiteral("--version"), {}, {}, QStringLiteral("the program's version")}};
}

std::vector<Option> ExportOptionsOnCommandLine(const QStringList& only, const std::vector<Option>& overrides) {
  std::vector<Option> options;
  for (const OptionEntry& entry : ExportOptions()) {
    if (!only.isEmpty() && !only.contains(entry.name)) continue;
    Option o{QStringLiteral("--") + entry.name, {}, entry.kind == OptionKind::kSwitch ? QString() : entry.value, entry.help,
             entry.fallbackHelp.isEmpty() ? entry.fallback : entry.fallbackHelp};
    for (const Option& own : overrides)
      if (own.name == o.name) {
        if (!own.help.isEmpty()) o.help = own.help;
        if (!own.fallback.isEmpty()) o.fallback = own.fallback;
      }
    options.push_back(o);
  }
  return options;
}

OptionValues ExportValuesOf(const ParsedOptions& options, const QStringList& only) {
  OptionValues values;
  for (const OptionEntry& entry : ExportOptions())
    if (only.isEmpty() || only.contains(entry.name))
      if (const std::optional<QString> v = options.Optional(QStringLiteral("--") + entry.name))
      values[entry.name] = entry.kind == OptionKind::kFile ? AbsoluteFileName(*v) : CanonicalValue(entry.name, *v);
  return values;
}

ParsedOptions ParseOptions(const QStringList& args, const std::vector<Option>& options) {
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
    const Option* known = Find(options, name);
    if (!known) throw UsageError(QStringLiteral("unknown option %1 (see --help)").arg(a));
    if (known->value.isEmpty()) {
      if (inlineValue) throw UsageError(QStringLiteral("option %1 takes no value").arg(name));
      parsed.Set(known->name, QString());
      continue;
    }
    if (!inlineValue && i + 1 >= args.size()) throw UsageError(QStringLiteral("option %1 needs a value").arg(name));
    parsed.Set(known->name, inlineValue ? *inlineValue : args[++i]);
  }
  return parsed;
}

QString OutputPath(const ParsedOptions& options) {
  const QString output = options.Value(QStringLiteral("--output"));
  if (output.isEmpty()) throw UsageError(QStringLiteral("no output given (-o OUTPUT; see --help)"));
  // "plates/" or "plates/." names a folder: the file would otherwise be
  // written beside it, under the folder's own name.
  const QString last = output.section(QChar('/'), -1);
  if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."))
    throw UsageError(QStringLiteral("the output \"%1\" names a folder; give a file name (-o FOLDER/NAME.tif)").arg(output));
  return AbsoluteFileName(output);
}

namespace {

// A thread count as --threads and PLIVORA_THREADS take it: 1 to 256.
int ThreadCount(const QString& text, const QString& what) {
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (!ok || n < 1 || n > 256) throw UsageError(QStringLiteral("%1 takes a number from 1 to 256, not \"%2\"").arg(what, text));
  return n;
}

}  // namespace

int ParseThreads(const ParsedOptions& options) {
  // The variable is checked even when --threads overrides it: a wrong one
  // would go on unnoticed in every later run.
  int fromEnvironment = 0;
  if (qEnvironmentVariableIsSet("PLIVORA_THREADS"))
    fromEnvironment = ThreadCount(qEnvironmentVariable("PLIVORA_THREADS"), QStringLiteral("PLIVORA_THREADS"));
  if (const std::optional<QString> text = options.Optional(QStringLiteral("--threads")))
    return ThreadCount(*text, QStringLiteral("--threads"));
  return fromEnvironment;
}

bool ParseUnit(const QString& text) {
  if (text != QLatin1String("inch") && text != QLatin1String("cm"))
    throw UsageError(QStringLiteral("--unit must be inch or cm, not \"%1\"").arg(text));
  return text == QLatin1String("inch");
}

QString UsageText(const CommandLineProgram& program) {
  constexpr qsizetype kHelpColumn = 21, kDefaultColumn = 63, kLineEnd = 80;
  const QString indent(kHelpColumn, QChar(' '));
  QString text = QStringLiteral("usage: %1 %2\n%3\n").arg(QLatin1String(program.name), QLatin1String(program.synopsis),
                                                          QLatin1String(program.about));
  for (const Option& o : AllOptions(program)) {
    QString names = QStringLiteral("  ") + (o.shortName.isEmpty() ? QString() : o.shortName + QStringLiteral(", ")) + o.name;
    if (!o.value.isEmpty()) names += QChar(' ') + o.value;
    QStringList lines = o.help.split(QChar('\n'));
    if (!o.fallback.isEmpty()) {
      const QString bracket = QStringLiteral("[%1]").arg(o.fallback);
      QString& last = lines.last();
      const qsizetype column = std::max(kHelpColumn + last.size() + 1, std::min(kDefaultColumn, kLineEnd - bracket.size()));
      last = last.leftJustified(column - kHelpColumn) + bracket;
    }
    text += names.size() + 2 > kHelpColumn ? names + QChar('\n') + indent : names.leftJustified(kHelpColumn);
    text += lines.join(QChar('\n') + indent) + QChar('\n');
  }
  if (program.after) text += QChar('\n') + QLatin1String(program.after);
  return text;
}

int RunCommandLineProgram(int argc, char** argv, const CommandLineProgram& program) {
  // One malloc arena for every thread. Each arena of its own reserves 64 MB
  // of address space, so that a job of six threads took 530 MB of it rather
  // than 140 MB; and under an address-space limit (ulimit -v), a thread
  // refused an arena allocates by one system call a block, slowly enough to
  // pass for a hang. The threads allocate next to nothing while they run.
  mallopt(M_ARENA_MAX, 1);
  InstallSignalCleanup();
  // Arguments are file names as often as not: kept byte for byte.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << FileNameFromNative(argv[i]);
  ParsedOptions options;
  try {
    options = ParseOptions(args, AllOptions(program));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "%s: %s\n%s", program.name, e.what(), qPrintable(UsageText(program)));
    return 2;
  }
  if (options.Has(QStringLiteral("--help"))) {
    std::fputs(qPrintable(UsageText(program)), stdout);
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
