#include "series/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/error.h"

namespace plivora {

SourceFile::SourceFile(const QString& path) : path_(path) {
  const QByteArray name = path.toLocal8Bit();
  do fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) Fail(QStringLiteral("Cannot open file \"%1\". %2").arg(path, SystemErrorText(errno)));
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    Fail(QStringLiteral("Cannot open file \"%1\". %2")
             .arg(path, err ? SystemErrorText(err) : QStringLiteral("Not a regular file")));
  }
  size_ = static_cast<uint64_t>(st.st_size);
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
