#include "plate/tiff_writing.h"

namespace plivora {

namespace {

// A file being written is never read back, closed or mapped by libtiff.
tmsize_t NoRead(thandle_t, void*, tmsize_t) { return -1; }
int NoClose(thandle_t) { return 0; }
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

}  // namespace

uint16_t TiffCompressionTag(Compression c) {
  switch (c) {
    case Compression::PackBits: return COMPRESSION_PACKBITS;
    case Compression::Lzw: return COMPRESSION_LZW;
    case Compression::Deflate: return COMPRESSION_ADOBE_DEFLATE;
    case Compression::None: break;
  }
  return COMPRESSION_NONE;
}

TIFF* OpenTiffForWriting(const QByteArray& name, const char* mode, void* client, const TiffWriteCallbacks& callbacks,
                         LibraryMessages& messages) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  CaptureTiffMessages(options, messages);
  TIFF* tif = TIFFClientOpenExt(name.constData(), mode, client, NoRead, callbacks.write, callbacks.seek, NoClose,
                                callbacks.size, NoMap, NoUnmap, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

}  // namespace plivora
