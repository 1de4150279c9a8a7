// What the command-line programs share, so that their options, --help,
// errors, progress and exit codes read alike: one option parser and one
// main().
//
// Exit status: 0 on success; 1 when the work fails ("PROGRAM: MESSAGE" on
// stderr); 2 for a wrong command line (the message and the usage text).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "common/error.h"

namespace plivora {

// A command line that can't be used: exit status 2 and the usage text.
class UsageError : public Error {
 public:
  using Error::Error;
};

struct OptionSpec {
  QString name;             // "--dpi"
  QString shortName = {};   // "-o", or empty
  bool takesValue = false;  // "--dpi TEXT" or "--dpi=TEXT"
};

class ParsedOptions {
 public:
  bool Has(const QString& name) const { return values_.count(name) > 0; }
  // The last value given for `name`, or `fallback`.
  QString Value(const QString& name, const QString& fallback = {}) const;
  std::optional<QString> Optional(const QString& name) const;
  // The arguments that are not options ("-" and everything after "--" too).
  const QStringList& Operands() const { return operands_; }

 private:
  friend ParsedOptions ParseOptions(const QStringList&, const std::vector<OptionSpec>&);
  std::map<QString, QString> values_;
  QStringList operands_;
};

// Raises UsageError for an unknown option or a missing value. --help, -h and
// --version are known to every program.
ParsedOptions ParseOptions(const QStringList& arguments, const std::vector<OptionSpec>& specs);

// The --threads option's value: 0 when absent (the default count), else a
// whole number from 1 to 256; UsageError otherwise.
int ParseThreads(const ParsedOptions& options);

// The unit option's value: true for "inch", false for "cm"; UsageError
// otherwise.
bool ParseUnit(const QString& text);

struct CommandLineProgram {
  const char* name;   // "plivora-interlace"
  const char* usage;  // the --help text
  std::vector<OptionSpec> options;
  // Does the work; progress takes percentages. Raises Error (exit 1) or
  // UsageError (exit 2).
  std::function<void(const ParsedOptions&, const std::function<void(int)>& progress)> run;
};

// The whole main(): names as bytes, the signal clean-up, the user's locale,
// Qt's notices kept quiet, -q and the progress line, and every exception
// turned into a message and an exit status. Once the job has run, it ends
// the process itself with that status.
int RunCommandLineProgram(int argc, char** argv, const CommandLineProgram& program);

}  // namespace plivora
