// libFuzzer entry: every input is a file held in memory, opened as the
// export opens a view (PNG and JPEG by their signatures, TIFF in the strip
// layout, libtiff otherwise) and once more by the libtiff reader alone, and
// read to its last row, and read once more every other row on worker
// threads; and taken as an ICC profile, as a view's embedded
// one is, and used for a conversion either way when LittleCMS accepts it.
#include <QByteArray>

#include "read_every_row.h"
#include "series/source_file.h"
#include "series/tiff_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plivora;
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const QString name = QStringLiteral("input.tif");
  fuzz::ReadEveryRow([&] { return OpenSource(std::make_unique<SourceFile>(name, bytes)); });
  fuzz::ReadEveryRow([&] { return OpenTiffSource(std::make_unique<SourceFile>(name, bytes)); });
  fuzz::ReadEveryOtherRowAhead([&] { return OpenSource(std::make_unique<SourceFile>(name, bytes)); });
  fuzz::ConvertWithProfile(bytes);
  return 0;
}
