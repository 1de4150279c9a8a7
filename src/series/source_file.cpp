#include "series/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/error.h"
#include "common/file_names.h"
#include "common/small_file.h"
#include "series/view_error.h"

namespace plivora {

SourceFile::SourceFile(const QString& path) : path_(path) {
  const QByteArray name = NativeFileName(path);
  // O_NONBLOCK: opening a FIFO would otherwise wait for a writer, forever.
  // O_NOCTTY: a terminal named as a view must not become ours.
  do fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) Fail(QStringLiteral("Cannot open file \"%1\". %2").arg(path, SystemErrorText(errno)));
  struct stat st {};
  QString problem;
  if (::fstat(fd_, &st) != 0)
    problem = SystemErrorText(errno);
  else if (!S_ISREG(st.st_mode))
    problem = NotRegularReason(st.st_mode);
  else if (const int flags = ::fcntl(fd_, F_GETFL); flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
    problem = SystemErrorText(errno);
  if (!problem.isEmpty()) {
    ::close(fd_);  // the destructor does not run when the constructor raises
    fd_ = -1;
    FailView(path, problem);
  }
  size_ = static_cast<uint64_t>(st.st_size);
  device_ = static_cast<uint64_t>(st.st_dev);
  inode_ = static_cast<uint64_t>(st.st_ino);
}

SourceFile::SourceFile(const QString& name, const QByteArray& bytes)
    : path_(name), bytes_(bytes), size_(static_cast<uint64_t>(bytes.size())) {}

SourceFile::~SourceFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool SourceFile::ReadAt(uint64_t offset, void* dest, uint64_t length) const {
  auto* out = static_cast<char*>(dest);
  if (fd_ < 0) {
    if (offset > size_ || length > size_ - offset) return false;
    if (length > 0) std::memcpy(out, bytes_.constData() + offset, length);
    return true;
  }
  while (length > 0) {
    // Offsets come from the file; past what off_t holds, the file has ended.
    if (offset > uint64_t(INT64_MAX)) return false;
    const ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(QStringLiteral("Cannot read file \"%1\". %2").arg(path_, SystemErrorText(errno)));
    }
    if (n == 0) return false;
    out += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace plivora
