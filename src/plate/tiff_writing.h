// libtiff for the plate room's own files, on disk (the plates) or in memory
// (the strips being encoded): how a handle is opened for writing, and the
// few facts both need. Only the plate room's .cpp files include this.
#pragma once

#include <tiffio.h>

#include <QByteArray>

#include "common/library_messages.h"
#include "plate/output_form.h"

namespace plivora {

// libtiff's number for the compression (the Compression tag's value).
uint16_t TiffCompressionTag(Compression compression);

// What a handle written through callbacks reads, seeks and sizes with; the
// file's bytes go through `write`. Messages go to `messages`, which must
// outlive the handle. `mode`: "wl" (classic) or "wl8" (BigTIFF). Null when
// libtiff refuses; the reason is in `messages`.
struct TiffWriteCallbacks {
  TIFFReadWriteProc write;
  TIFFSeekProc seek;
  TIFFSizeProc size;
};
TIFF* OpenTiffForWriting(const QByteArray& name, const char* mode, void* client, const TiffWriteCallbacks& callbacks,
                         LibraryMessages& messages);

}  // namespace plivora
