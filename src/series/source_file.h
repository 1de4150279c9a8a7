// A read-only file with exact positioned reads, for the view readers.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace plivora {

class SourceFile {
 public:
  // Opens the regular file at `path`. Raises "Cannot open file "PATH".
  // REASON" when it can't be opened, and `Cannot read view "PATH": it is not
  // a regular file (a FIFO)` for a FIFO, a device, a socket or a folder,
  // without waiting for a writer or reading a byte.
  explicit SourceFile(const QString& path);
  // A file held in memory (tests, fuzzing); `name` stands for its path in
  // messages.
  SourceFile(const QString& name, const QByteArray& bytes);
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  const QString& path() const { return path_; }
  uint64_t size() const { return size_; }
  // The file's device and inode: two SourceFiles with the same are the same
  // file, whatever their paths. Both 0 for a file held in memory.
  uint64_t device() const { return device_; }
  uint64_t inode() const { return inode_; }
  // Reads exactly `length` bytes at `offset`; false when the file ends first.
  // Raises a read error naming the file for any other failure.
  bool ReadAt(uint64_t offset, void* dest, uint64_t length) const;

 private:
  QString path_;
  int fd_ = -1;  // -1 for a file held in memory
  QByteArray bytes_;
  uint64_t size_ = 0;
  uint64_t device_ = 0, inode_ = 0;
};

}  // namespace plivora
