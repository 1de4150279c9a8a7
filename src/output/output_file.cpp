#include "output/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>

#include "common/error.h"

namespace plivora {

namespace {

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

OutputFile::OutputFile(const QString& targetPath) : target_(targetPath) {
  const QFileInfo info(targetPath);
  if (info.isDir()) Fail(QStringLiteral("Cannot create file \"%1\". %2").arg(targetPath, SystemErrorText(EISDIR)));
  tempName_ = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                QStringLiteral(".XXXXXX"));
  do fd_ = ::mkostemp(tempName_.data(), O_CLOEXEC);
  while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) Fail(QStringLiteral("Cannot create file \"%1\". %2").arg(targetPath, SystemErrorText(errno)));
  // mkostemp makes the file private; the finished file gets the permissions
  // of any other newly created file.
  ::fchmod(fd_, 0666 & ~CurrentUmask());
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!tempName_.isEmpty()) ::unlink(tempName_.constData());
}

void OutputFile::Seek(uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) WriteFailed(errno);
  position_ = offset;
}

void OutputFile::Write(const void* data, uint64_t length) {
  const auto* p = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t n = ::write(fd_, p, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      WriteFailed(errno);
    }
    if (n == 0) WriteFailed(ENOSPC);
    p += n;
    length -= static_cast<uint64_t>(n);
    position_ += static_cast<uint64_t>(n);
  }
}

void OutputFile::Commit() {
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) WriteFailed(errno);
  // An earlier file of the target's name trades places with the new one in
  // one step and is then removed: the name always holds a complete file.
  // (A plain rename over it would do the same, but ext4 then flushes the
  // whole new file to disk inside the rename.) Where the exchange is not
  // supported, or no earlier file exists, a plain rename does the work.
  const QByteArray target = QFile::encodeName(target_);
  if (::renameat2(AT_FDCWD, tempName_.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
    ::unlink(tempName_.constData());  // now the earlier file
  } else if (::rename(tempName_.constData(), target.constData()) != 0) {
    Fail(QStringLiteral("Cannot create file \"%1\". %2").arg(target_, SystemErrorText(errno)));
  }
  tempName_.clear();
}

void OutputFile::WriteFailed(int err) const {
  Fail(QStringLiteral("Stream write error: \"%1\" could not be written. %2").arg(target_, SystemErrorText(err)));
}

}  // namespace plivora
