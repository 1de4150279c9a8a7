#include "common/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/error.h"
#include "common/file_names.h"

namespace plivora {

FileLock::FileLock(const QString& path, const QString& what) {
  const auto fail = [&](const QString& reason) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    Fail(QStringLiteral("Cannot lock %1 \"%2\": %3").arg(what, path, reason));
  };
  // Non-blocking open: a FIFO put in the lock's place is refused, not waited on.
  fd_ = ::open(NativeFileName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd_ < 0) fail(SystemErrorText(errno));
  struct stat st {};
  if (::fstat(fd_, &st) != 0) fail(SystemErrorText(errno));
  if (!S_ISREG(st.st_mode)) fail(QStringLiteral("it is not a regular file"));
  while (::flock(fd_, LOCK_EX) != 0)
    if (errno != EINTR) fail(SystemErrorText(errno));
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

int MakeFolders(const QString& folder) {
  const QByteArray path = NativeFileName(folder);
  for (qsizetype end = 1; end <= path.size(); ++end) {
    if (end < path.size() && path[end] != '/') continue;
    const QByteArray part = path.left(end);
    if (::mkdir(part.constData(), 0777) == 0) continue;
    const int err = errno;
    struct stat st {};
    if (::stat(part.constData(), &st) != 0) return err;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  }
  return 0;
}

}  // namespace plivora
