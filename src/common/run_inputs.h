// The files one run reads (views, profiles, jobs, job lists, the profiles
// file), so that the run never writes over one of them: an output named
// like one, or a hard or symbolic link to one, is refused before anything
// is written.
#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace plivora {

class RunInputs {
 public:
  // `what` names the file in a refusal: "one of the views", "the CMYK
  // profile", "the job".
  void Add(const QString& path, const QString& what);
  void Add(const RunInputs& other);
  // Raises `The output "PATH" is WHAT, which this run reads; choose another
  // file name` when `output` names, or leads to, one of the inputs.
  void CheckNotOutput(const QString& output) const;

 private:
  std::vector<std::pair<QString, QString>> inputs_;  // path, what
};

}  // namespace plivora
