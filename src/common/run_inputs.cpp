#include "common/run_inputs.h"

#include <sys/stat.h>

#include "common/error.h"
#include "common/file_names.h"

namespace plivora {

void RunInputs::Add(const QString& path, const QString& what) {
  if (!path.isEmpty()) inputs_.emplace_back(AbsoluteFileName(path), what);
}

void RunInputs::Add(const RunInputs& other) {
  inputs_.insert(inputs_.end(), other.inputs_.begin(), other.inputs_.end());
}

void RunInputs::CheckNotOutput(const QString& output) const {
  const QString name = AbsoluteFileName(output);
  // The file the output's name leads to, links followed: a hard link and a
  // symbolic one land on the input's own inode.
  struct stat out {};
  const bool exists = ::stat(NativeFileName(name).constData(), &out) == 0;
  for (const auto& [path, what] : inputs_) {
    struct stat in {};
    const bool same = path == name || (exists && ::stat(NativeFileName(path).constData(), &in) == 0 &&
                                       in.st_dev == out.st_dev && in.st_ino == out.st_ino);
    if (same) Fail(QStringLiteral("The output \"%1\" is %2, which this run reads; choose another file name").arg(output, what));
  }
}

}  // namespace plivora
