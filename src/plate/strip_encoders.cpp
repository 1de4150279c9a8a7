#include "plate/strip_encoders.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <new>

#include "common/error.h"
#include "common/task_pool.h"
#include "plate/tiff_writing.h"

namespace plivora {

namespace {

// A TIFF file in memory, written by libtiff: the strip is encoded into it,
// and its bytes are taken from it.
struct MemoryFile {
  std::vector<uint8_t>& bytes;
  uint64_t pos = 0;
  uint64_t end = 0;
};

tmsize_t MemoryWrite(thandle_t h, void* buf, tmsize_t size) {
  auto* m = static_cast<MemoryFile*>(h);
  if (size < 0) return -1;
  const uint64_t stop = m->pos + uint64_t(size);
  try {
    if (stop > m->bytes.size()) m->bytes.resize(std::max<uint64_t>(stop, m->bytes.size() * 3 / 2));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  std::memcpy(m->bytes.data() + m->pos, buf, size_t(size));
  m->pos = stop;
  m->end = std::max(m->end, stop);
  return size;
}

toff_t MemorySeek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  const uint64_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->end : 0;
  m->pos = base + offset;
  return m->pos;
}

toff_t MemorySize(thandle_t h) { return static_cast<MemoryFile*>(h)->end; }

}  // namespace

EncodedStrip EncodeStrip(Compression compression, int64_t width, uint32_t rows, int samples, const uint8_t* raw,
                         std::vector<uint8_t>& work) {
  MemoryFile memory{work, 0, 0};
  LibraryMessages messages;
  TIFF* tif = OpenTiffForWriting("strip", "wl", &memory, {MemoryWrite, MemorySeek, MemorySize}, messages);
  const tmsize_t size = tmsize_t(width) * samples * rows;
  uint64_t* offsets = nullptr;
  uint64_t* counts = nullptr;
  const bool ok = tif && TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width)) &&
                  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows) && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
                  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples) &&
                  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_SEPARATED) &&
                  TIFFSetField(tif, TIFFTAG_COMPRESSION, TiffCompressionTag(compression)) &&
                  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows) &&
                  TIFFWriteEncodedStrip(tif, 0, const_cast<uint8_t*>(raw), size) >= 0 &&
                  TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) && TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts);
  uint64_t offset = 0, count = 0;
  if (ok) offset = offsets[0], count = counts[0];
  // Closing writes the directory after the strip, which may move `work`:
  // the strip is found by its offset afterwards.
  if (tif) TIFFCleanup(tif);
  if (!ok || offset + count > memory.end)
    Fail(QStringLiteral("Cannot compress a strip of %1 x %2 pixels (%3): %4")
             .arg(width).arg(rows).arg(CompressionName(compression), messages.Reason(QStringLiteral("libtiff failed"))));
  const EncodedStrip strip{work.data() + offset, size_t(count)};
  return strip;
}

struct StripEncoders::Slot {
  std::vector<uint8_t> raw, work;
  EncodedStrip encoded;
  Store store;
  Lane lane;  // last: it goes first, waiting for its task, before the buffers the task uses
};

StripEncoders::StripEncoders(unsigned lanes) {
  for (unsigned i = 0; i < lanes; ++i) slots_.push_back(std::make_unique<Slot>());
}

// Each slot's lane waits for its task before the slot's buffers go; nothing
// more is stored.
StripEncoders::~StripEncoders() = default;

void StripEncoders::Submit(std::vector<uint8_t>& raw, Compression compression, int64_t width, uint32_t rows,
                           int samples, Store store) {
  if (slots_.empty()) {  // no lanes: encoded and stored at once
    std::vector<uint8_t> work;
    store(EncodeStrip(compression, width, rows, samples, raw.data(), work));
    return;
  }
  if (pending_ == slots_.size()) StoreOldest();
  Slot& s = *slots_[next_ % slots_.size()];
  s.raw.swap(raw);
  s.store = std::move(store);
  s.lane.Start([&s, compression, width, rows, samples] {
    s.encoded = EncodeStrip(compression, width, rows, samples, s.raw.data(), s.work);
  });
  ++next_;
  ++pending_;
}

void StripEncoders::Flush() {
  while (pending_ > 0) StoreOldest();
}

void StripEncoders::StoreOldest() {
  Slot& s = *slots_[(next_ - pending_) % slots_.size()];
  --pending_;  // taken off first: after an error the export ends, and the slot is not stored twice
  s.lane.Wait();
  s.store(s.encoded);
}

}  // namespace plivora
