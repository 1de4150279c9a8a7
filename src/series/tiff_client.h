// libtiff over a SourceFile, on disk or in memory: the callbacks libtiff
// reads through, and the messages it raises kept for our own messages
// instead of going to stderr.
#pragma once

#include <tiffio.h>

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "common/library_messages.h"
#include "series/source_file.h"

namespace plivora {

// What libtiff's read, seek and size callbacks work on, and where its
// messages go.
struct TiffClient {
  explicit TiffClient(SourceFile& f);
  SourceFile* file;
  uint64_t pos = 0;
  LibraryMessages messages;
};

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens client.file for reading, with no single allocation above maxAlloc
// bytes. Null when libtiff cannot read the file; the reason is in
// client.messages. The client must outlive the handle.
TiffHandle OpenTiffHandle(TiffClient& client, uint64_t maxAlloc);

// Follows the chain of image directories from the header. Returns why the
// file cannot be a view ("it is not a TIFF file", "its image directories
// form a loop ..."), or an empty text. Only the first directory is read as
// the view; a broken link further down is no concern.
QString DirectoryChainProblem(const SourceFile& file);

}  // namespace plivora
