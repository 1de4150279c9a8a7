// A read-only file with exact positioned reads, for the view readers.
#pragma once

#include <QString>
#include <cstdint>

namespace plivora {

class SourceFile {
 public:
  // Raises "Cannot open file "PATH". REASON" when the file can't be opened.
  explicit SourceFile(const QString& path);
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  const QString& path() const { return path_; }
  uint64_t size() const { return size_; }
  // Reads exactly `length` bytes at `offset`; false when the file ends first.
  // Raises a read error naming the file for any other failure.
  bool ReadAt(uint64_t offset, void* dest, uint64_t length) const;

 private:
  QString path_;
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace plivora
