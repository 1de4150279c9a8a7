// What the command-line programs share, so that their options, --help,
// errors, progress and exit codes read alike: one option table, one parser
// and one main().
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
#include "options/option_table.h"

namespace plivora {

// A command line that can't be used: exit status 2 and the usage text.
class UsageError : public Error {
 public:
  using Error::Error;
};

// One option as --help shows it and the parser takes it.
struct Option {
  QString name;             // "--dpi"
  QString shortName = {};   // "-o", or empty
  QString value = {};       // "TEXT", "N", "inch|cm"; empty for a switch
  QString help = {};        // its line in --help
  QString fallback = {};    // the default --help shows in brackets, or empty
};

// The options every program takes, after its own.
std::vector<Option> CommonOptions();

// The export options of the table, as --help shows them and the parser
// takes them: every one, or those named (in the table's order), each with
// the help and default the table gives unless `overrides` gives its own
// (an Option of the same name whose empty fields keep the table's).
std::vector<Option> ExportOptionsOnCommandLine(const QStringList& only = {}, const std::vector<Option>& overrides = {});

class ParsedOptions {
 public:
  bool Has(const QString& name) const { return values_.count(name) > 0; }
  // The last value given for `name`, or `fallback`.
  QString Value(const QString& name, const QString& fallback = {}) const;
  std::optional<QString> Optional(const QString& name) const;
  // Every value given for `name`, in order.
  QStringList All(const QString& name) const;
  // Each option given, with its last value.
  const std::map<QString, QString>& Values() const { return values_; }
  // Every option given, with its value, in the order given.
  const std::vector<std::pair<QString, QString>>& Sequence() const { return sequence_; }
  // The arguments that are not options ("-" and everything after "--" too).
  const QStringList& Operands() const { return operands_; }

  // Sets an option's value ("" for a switch), as if it came last; options
  // assembled from a job or a profile are set this way.
  void Set(const QString& name, const QString& value);
  void SetOperands(const QStringList& operands) { operands_ = operands; }

 private:
  friend ParsedOptions ParseOptions(const QStringList&, const std::vector<Option>&);
  std::map<QString, QString> values_;
  std::map<QString, QStringList> all_;
  std::vector<std::pair<QString, QString>> sequence_;
  QStringList operands_;
};

// Raises UsageError for an unknown option or a missing value.
ParsedOptions ParseOptions(const QStringList& arguments, const std::vector<Option>& options);

// The export options given, by name without "--", as a job or a profile
// holds them: files made absolute, the DPI's "auto" as "(Auto)".
// Only the options named, when `only` is not empty.
OptionValues ExportValuesOf(const ParsedOptions& options, const QStringList& only = {});

// -o: present, and naming a file rather than a folder; made absolute.
QString OutputPath(const ParsedOptions& options);

// The thread count: --threads, else PLIVORA_THREADS, else 0 (the default
// count). Either must be a whole number from 1 to 256; UsageError otherwise,
// naming which.
int ParseThreads(const ParsedOptions& options);

// The unit option's value: true for "inch", false for "cm"; UsageError
// otherwise.
bool ParseUnit(const QString& text);

struct CommandLineProgram {
  const char* name;      // "plivora-interlace"
  const char* synopsis;  // "[options] -o OUTPUT VIEW..."
  const char* about;     // what it does, before the options in --help
  std::vector<Option> options;  // its own; CommonOptions() follow
  const char* after;     // what --help says after the options, or nullptr
  // Does the work; progress takes percentages. Raises Error (exit 1) or
  // UsageError (exit 2).
  std::function<void(const ParsedOptions&, const std::function<void(int)>& progress)> run;
};

// The --help text: synopsis, what it does, one line an option.
QString UsageText(const CommandLineProgram& program);

// The whole main(): names as bytes, the signal clean-up, the user's locale,
// Qt's notices kept quiet, -q and the progress line, and every exception
// turned into a message and an exit status. Once the job has run, it ends
// the process itself with that status.
int RunCommandLineProgram(int argc, char** argv, const CommandLineProgram& program);

}  // namespace plivora
