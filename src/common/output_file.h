// The output file of one export, written so that nothing is ever lost.
//
// Bytes go to an unnamed file in the target's folder (O_TMPFILE), which no
// crash or signal can leave behind; where the file system has no unnamed
// files, to a hidden temporary name that a terminating signal removes
// (signal_cleanup.h). Commit() gives the finished file the target's name in
// one step. An OutputFile destroyed without Commit() leaves nothing, and any
// earlier file of the target's name stays untouched.
//
// The target must be a regular file or nothing: a device, FIFO, socket or
// folder there is refused, never replaced. A symbolic link at the target is
// kept, and the file it points to is replaced, in that file's own folder.
// When an earlier file is replaced, the new one is flushed to disk first, so
// that after a power loss the name holds the earlier file or the new one,
// never an empty one.
//
// Hidden names are ".NAME.plivora-XXXXXX" in the target's folder, each held
// under a lock (flock) while its export lives. A process killed outright
// (kill -9) can leave one behind; the next OutputFile for the same target
// removes those that no running export holds.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace plivora {

class SignalCleanupSlot;

class OutputFile {
 public:
  // Creates the temporary file beside the file `targetPath` names; raises
  // "Cannot create file "PATH". REASON" when the target or its folder
  // refuses it.
  explicit OutputFile(const QString& targetPath);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Seek(uint64_t offset);
  uint64_t Position() const { return position_; }
  // Writes all `length` bytes or raises "Stream write error" with the
  // target's path and the system's reason (a full disk, for instance).
  void Write(const void* data, uint64_t length);
  // Gives the finished file the target's name. Raises, and leaves the
  // target as it was, when something else has taken the target's place
  // meanwhile.
  void Commit();
  // Commits several files together (the panels of one print): either every
  // one gets its name, or none does and every earlier file of those names
  // stays as it was. Raises the first file's failure.
  static void CommitTogether(const std::vector<OutputFile*>& files);
  // Writes `bytes` as the whole file at `path` (a small file: settings, a
  // job), which takes the name only once complete.
  static void WriteWhole(const QString& path, const QByteArray& bytes);
  // Refuses, before anything is committed, files that would land on one
  // file (two names that link or point to it, or one name given twice).
  static void CheckDistinct(const std::vector<OutputFile*>& files);

  const QString& targetPath() const { return target_; }

 private:
  [[noreturn]] void WriteFailed(int err) const;
  [[noreturn]] void CreateFailed(const QString& reason) const;
  void ResolveTarget();
  void RemoveStaleTemporaries() const;
  void CreateTemporary();
  void CheckTargetUnchanged() const;
  void NameInPlace();
  void LinkHidden();
  void Flush();
  void Stage();
  void Place();
  void Unplace();
  void Settle();

  // What tells a file apart from one put in its place: a file removed and
  // created again may get the same inode, never the same change time.
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t changed = 0;  // ns
    off_t size = 0;
    bool operator==(const Identity&) const = default;
  };
  static Identity IdentityOf(const struct ::stat& st);

  QString target_;         // as the caller gave it, for messages
  QByteArray folder_;      // the folder of the file finally written
  QByteArray name_;        // its name in that folder
  int folderFd_ = -1;
  dev_t folderDev_ = 0;
  ino_t folderIno_ = 0;
  int fd_ = -1;
  int lockFd_ = -1;        // holds the temporary's lock once fd_ is closed
  bool earlier_ = false;   // a file of that name existed when we began
  Identity earlierId_;
  QByteArray tempName_;    // a named temporary in folder_, while one exists
  QByteArray spareName_;   // the earlier file's second name while a group commits
  int spareLockFd_ = -1;   // holds the spare name's lock
  std::unique_ptr<SignalCleanupSlot> cleanup_;
  uint64_t position_ = 0;
};

}  // namespace plivora
