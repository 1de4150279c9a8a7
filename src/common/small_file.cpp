#include "common/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "common/error.h"
#include "common/file_names.h"

namespace plivora {

namespace {

// What a file that is not a regular one is, for the refusal.
QString KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return QStringLiteral("a folder");
  if (S_ISFIFO(mode)) return QStringLiteral("a FIFO");
  if (S_ISSOCK(mode)) return QStringLiteral("a socket");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
  return QStringLiteral("not a regular file");
}

// Megabytes for a cap: 16 MB, 64 MB.
QString CapText(int64_t cap) { return QStringLiteral("%1 MB").arg(cap >> 20); }

// Closes the descriptor on every way out.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

void FailReading(const QString& what, const QString& path, int line, const QString& reason) {
  Fail(line > 0 ? QStringLiteral("Cannot read the %1 \"%2\": line %3: %4").arg(what, path).arg(line).arg(reason)
                : QStringLiteral("Cannot read the %1 \"%2\": %3").arg(what, path, reason));
}

QByteArray ReadSmallFile(const QString& what, const QString& path, int64_t cap, bool missingIsEmpty) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const Descriptor file{::open(NativeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (file.fd < 0) {
    if (missingIsEmpty && (errno == ENOENT || errno == ENOTDIR)) return {};
    FailReading(what, path, 0, SystemErrorText(errno));
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) FailReading(what, path, 0, SystemErrorText(errno));
  if (!S_ISREG(st.st_mode))
    FailReading(what, path, 0, QStringLiteral("it is %1, not a regular file").arg(KindOf(st.st_mode)));
  if (st.st_size > cap)
    FailReading(what, path, 0, QStringLiteral("it is %1 bytes; a %2 is read up to %3").arg(st.st_size).arg(what, CapText(cap)));
  QByteArray bytes("");
  try {
    // The size may change while it is read: the cap holds whatever it grows to.
    bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype have = 0;
    for (;;) {
      if (have == bytes.size()) {
        if (have > cap) break;
        bytes.resize(std::min<qsizetype>(have * 2 + 4096, qsizetype(cap) + 1));
      }
      const ssize_t n = ::read(file.fd, bytes.data() + have, size_t(bytes.size() - have));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FailReading(what, path, 0, SystemErrorText(errno));
      if (n == 0) break;
      have += n;
    }
    if (have > cap) FailReading(what, path, 0, QStringLiteral("it is over %1; a %2 is read up to %1").arg(CapText(cap), what));
    bytes.truncate(have);
  } catch (const std::bad_alloc&) {
    FailReading(what, path, 0, QStringLiteral("there is not enough memory to read it"));
  }
  return bytes;
}

}  // namespace plivora
