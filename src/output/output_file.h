// The output file of one export, written so that nothing is ever lost.
//
// Bytes go to a temporary file in the target's folder (a rename across
// volumes would fail); Commit() renames it over the target once the last
// byte is written. An OutputFile destroyed without Commit() removes its
// temporary file, so a failed export leaves any earlier file of the target's
// name untouched and no partial file behind.
#pragma once

#include <QString>
#include <cstdint>

namespace plivora {

class OutputFile {
 public:
  // Creates the temporary file beside `targetPath`; raises
  // "Cannot create file "PATH". REASON" when the folder refuses it.
  explicit OutputFile(const QString& targetPath);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Seek(uint64_t offset);
  uint64_t Position() const { return position_; }
  // Writes all `length` bytes or raises "Stream write error" with the
  // target's path and the system's reason (a full disk, for instance).
  void Write(const void* data, uint64_t length);
  // Closes the file and renames it over the target.
  void Commit();

  const QString& targetPath() const { return target_; }

 private:
  [[noreturn]] void WriteFailed(int err) const;

  QString target_;
  QByteArray tempName_;
  int fd_ = -1;
  uint64_t position_ = 0;
};

}  // namespace plivora
