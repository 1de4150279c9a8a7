#include "series/tiff_client.h"

#include <algorithm>
#include <unordered_set>

#include "common/error.h"
#include "common/file_names.h"
#include "series/byte_order.h"

namespace plivora {

namespace {

// Directories followed when looking for a loop in the chain.
constexpr int kMaxDirectories = 65536;

// libtiff's callbacks are C: nothing may be thrown through them. A read
// that fails reports nothing read (0), never -1: libtiff adds the count to
// its position in a strip's buffer before it clears the rest, and -1 there
// writes a byte in front of the buffer (a file cut short while it is read).
tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
  auto* c = static_cast<TiffClient*>(h);
  if (size < 0) return 0;
  const uint64_t left = c->pos < c->file->size() ? c->file->size() - c->pos : 0;
  const uint64_t n = std::min<uint64_t>(uint64_t(size), left);
  try {
    if (n > 0 && !c->file->ReadAt(c->pos, buf, n)) {
      c->messages.AddError(QStringLiteral("the file ends before byte %1; it is shorter than when it was opened").arg(c->pos + n));
      return 0;
    }
  } catch (const Error& e) {
    c->messages.AddError(e.message());
    return 0;
  }
  c->pos += n;
  return tmsize_t(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* c = static_cast<TiffClient*>(h);
  const uint64_t base = whence == SEEK_CUR ? c->pos : whence == SEEK_END ? c->file->size() : 0;
  const uint64_t target = base + offset;  // a negative SEEK_CUR offset arrives wrapped
  if (int64_t(target) < 0) return toff_t(-1);
  c->pos = target;
  return target;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<TiffClient*>(h)->file->size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

}  // namespace

TiffClient::TiffClient(SourceFile& f) : file(&f), messages(NativeFileName(f.path())) {}

TiffHandle OpenTiffHandle(TiffClient& client, uint64_t maxAlloc) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(maxAlloc));
  CaptureTiffMessages(options, client.messages);
  const QByteArray name = NativeFileName(client.file->path());
  // "m": no memory mapping, every byte goes through ReadProc. "c": strips as
  // the file stores them, never cut into smaller ones, so that a strip's
  // number in a message is the file's own.
  TiffHandle handle(TIFFClientOpenExt(name.constData(), "rmc", &client, ReadProc, WriteProc, SeekProc, CloseProc,
                                      SizeProc, MapProc, UnmapProc, options));
  TIFFOpenOptionsFree(options);
  return handle;
}

QString DirectoryChainProblem(const SourceFile& file) {
  uint8_t head[16];
  if (!file.ReadAt(0, head, 8)) return (QStringLiteral("the file is too short to be a TIFF"));
  const bool big = head[0] == 'M' && head[1] == 'M';
  if (!big && !(head[0] == 'I' && head[1] == 'I')) return (QStringLiteral("it is not a TIFF file"));
  const uint16_t version = Get16(head + 2, big);
  if (version != 42 && version != 43) return (QStringLiteral("it is not a TIFF file"));
  const bool bigTiff = version == 43;
  if (bigTiff && !file.ReadAt(0, head, 16)) return (QStringLiteral("the file is too short to be a TIFF"));
  uint64_t offset = bigTiff ? Get64(head + 8, big) : Get32(head + 4, big);
  if (offset == 0) return (QStringLiteral("it has no image directory"));

  std::unordered_set<uint64_t> seen;
  for (int n = 0; offset != 0 && n < kMaxDirectories; ++n) {
    if (!seen.insert(offset).second)
      return (QStringLiteral("its image directories form a loop (the directory at offset %1 comes round again)").arg(offset));
    uint8_t count[8];
    if (!file.ReadAt(offset, count, bigTiff ? 8 : 2)) {
      if (n == 0) return (QStringLiteral("its image directory (offset %1) lies outside the file").arg(offset));
      return QString();  // a broken later directory does not concern the view
    }
    const uint64_t entries = bigTiff ? Get64(count, big) : Get16(count, big);
    const uint64_t next = offset + (bigTiff ? 8 : 2) + entries * (bigTiff ? 20 : 12);
    uint8_t link[8];
    if (entries > 0xFFFF || !file.ReadAt(next, link, bigTiff ? 8 : 4)) return QString();
    offset = bigTiff ? Get64(link, big) : Get32(link, big);
  }
  return QString();
}

}  // namespace plivora
