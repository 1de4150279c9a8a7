#include "common/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "common/error.h"
#include "common/file_names.h"

namespace plivora {

namespace {

// Closes the descriptor on every way out.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

QString TooLarge(int64_t size, int64_t cap, const QString& noun) {
  return QStringLiteral("at %1 bytes it is larger than the %2 MiB %3 may take").arg(size).arg(cap >> 20).arg(noun);
}

}  // namespace

void FailReading(const QString& what, const QString& path, int line, const QString& reason) {
  Fail(line > 0 ? QStringLiteral("Cannot read the %1 \"%2\": line %3: %4").arg(what, path).arg(line).arg(reason)
                : QStringLiteral("Cannot read the %1 \"%2\": %3").arg(what, path, reason));
}

QString NotRegularReason(unsigned mode) {
  if (S_ISREG(mode)) return {};
  const QString kind = S_ISFIFO(mode) ? QStringLiteral(" (a FIFO)")
                       : S_ISCHR(mode) ? QStringLiteral(" (a character device)")
                       : S_ISBLK(mode) ? QStringLiteral(" (a block device)")
                       : S_ISSOCK(mode) ? QStringLiteral(" (a socket)")
                       : S_ISDIR(mode) ? QStringLiteral(" (a folder)")
                                       : QString();
  return QStringLiteral("it is not a regular file") + kind;
}

WholeFile ReadWholeFile(const QString& path, int64_t cap, const QString& noun) {
  WholeFile file;
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  Descriptor d{-1};
  do d.fd = ::open(NativeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  while (d.fd < 0 && errno == EINTR);
  if (d.fd < 0) {
    file.missing = errno == ENOENT || errno == ENOTDIR;
    file.problem = SystemErrorText(errno);
    return file;
  }
  struct stat st {};
  if (::fstat(d.fd, &st) != 0) file.problem = SystemErrorText(errno);
  else file.problem = NotRegularReason(st.st_mode);
  if (file.problem.isEmpty() && st.st_size > cap) file.problem = TooLarge(st.st_size, cap, noun);
  if (!file.problem.isEmpty()) return file;
  try {
    // The size may change while it is read: the cap holds whatever it grows to.
    QByteArray& bytes = file.bytes;
    bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype have = 0;
    for (;;) {
      if (have == bytes.size()) {
        if (have > cap) break;
        bytes.resize(std::min<qsizetype>(have * 2 + 4096, qsizetype(cap) + 1));
      }
      const ssize_t n = ::read(d.fd, bytes.data() + have, size_t(bytes.size() - have));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        file.problem = SystemErrorText(errno);
        return file;
      }
      if (n == 0) break;
      have += n;
    }
    if (have > cap) file.problem = TooLarge(have, cap, noun);
    bytes.truncate(have);
  } catch (const std::bad_alloc&) {
    file.problem = QStringLiteral("there is not enough memory to read it");
  }
  return file;
}

QByteArray ReadSmallFile(const QString& what, const QString& path, int64_t cap, bool missingIsEmpty) {
  const WholeFile file = ReadWholeFile(path, cap, QStringLiteral("a ") + what);
  if (file.missing && missingIsEmpty) return {};
  if (!file.problem.isEmpty()) FailReading(what, path, 0, file.problem);
  return file.bytes.isNull() ? QByteArray("") : file.bytes;
}

}  // namespace plivora
