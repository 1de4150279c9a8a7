// An exclusive lock between processes, held for the life of the object: the
// read, change and write of a file that several processes may update at
// once (the profiles file) happen under it, so that no update is lost.
#pragma once

#include <QString>

namespace plivora {

class FileLock {
 public:
  // Opens (making it when missing) the lock file at `path` and waits for
  // the lock. Raises "Cannot lock WHAT "PATH": REASON".
  FileLock(const QString& path, const QString& what);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

// Makes the folder `folder` and the folders above it that are missing.
// Returns 0, or the system's error number of the first one that could not
// be made.
int MakeFolders(const QString& folder);

}  // namespace plivora
