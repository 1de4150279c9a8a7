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

// The whole file at `path`, at most `cap` bytes. A FIFO, a device, a socket
// or a folder is refused at once, without waiting for a writer or reading a
// byte, and so is a file larger than `cap` (named with the cap: "a job is
// read up to 16 MB"). When `missingIsEmpty`, a missing file gives a null
// QByteArray; an empty file gives an empty, non-null one. Raises through
// FailReading, the memory it runs out of included.
QByteArray ReadSmallFile(const QString& what, const QString& path, int64_t cap, bool missingIsEmpty = false);

// The largest job, job list, profiles file or print setup read: a job of 255
// long paths is a few hundred KB.
inline constexpr int64_t kMaxSettingsFileBytes = int64_t(16) << 20;

}  // namespace plivora
