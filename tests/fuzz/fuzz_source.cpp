// libFuzzer entry: every input is a view file held in memory, opened as the
// export opens it (strip layout first, libtiff otherwise) and once more by the
// libtiff reader alone, and read to its last row.
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
  return 0;
}
