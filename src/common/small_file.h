// Small files a run reads whole (jobs, job lists, profiles, the print setup,
// ICC profiles): read at once, refused by name when they are not what a
// small file is.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace plivora {

// "Cannot read the WHAT "PATH": line N: REASON", without the line when N is
// 0: the one wording of a small file that can't be used.
[[noreturn]] void FailReading(const QString& what, const QString& path, int line, const QString& reason);

// Why a file of mode `mode` (st_mode) is not read: "it is not a regular file
// (a FIFO)"; empty for a regular file.
QString NotRegularReason(unsigned mode);

// A file read whole, or why it was not.
struct WholeFile {
  QByteArray bytes;  // empty, but not null, for an empty file
  QString problem;   // why it can't be read, the way NotRegularReason says it; empty when read
  bool missing = false;  // there is no such file (problem says so too)
};

// The whole file at `path`, at most `cap` bytes. A FIFO, a device, a socket
// or a folder is refused at once, without waiting for a writer or reading a
// byte, and so is a file over `cap` ("at N bytes it is larger than the 16
// MiB a NOUN may take"). Running out of memory is a problem like another.
WholeFile ReadWholeFile(const QString& path, int64_t cap, const QString& noun);

// The same, raised through FailReading(what, ...). When `missingIsEmpty`, a
// missing file gives a null QByteArray.
QByteArray ReadSmallFile(const QString& what, const QString& path, int64_t cap, bool missingIsEmpty = false);

// The largest job, job list, profiles file, print setup or ICC profile
// read: a job of 255 long paths is a few hundred KB.
inline constexpr int64_t kMaxSmallFileBytes = int64_t(16) << 20;

}  // namespace plivora
