// Replays the fuzzer's corpus (tests/fuzz/corpus: small files, many of them
// hostile) through the readers (once more every other row, read ahead on
// worker threads) and the profile reader: every file is either
// read to its last row or refused with Error. A crash, a sanitizer report or
// any other exception fails the run; so does a word from a library on stderr.
#include <QDir>
#include <QFile>

#include "../fuzz/read_every_row.h"
#include "series/source_file.h"
#include "series/tiff_source.h"
#include "series/tiff_test_tools.h"
#include "support/test_support.h"

namespace plivora {
namespace {

TEST(SourceCorpus, EveryInputIsReadOrRefused) {
  const QDir corpus(QStringLiteral(PLIVORA_FUZZ_CORPUS));
  const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
  ASSERT_GE(names.size(), 20) << corpus.path().toStdString();
  test::TempDir dir;
  test::StderrCapture capture(dir.path("stderr.txt"));
  int read = 0, refused = 0;
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    const QString path = corpus.filePath(name);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    (fuzz::ReadEveryRow([&] { return OpenSource(path); }) ? read : refused)++;
    fuzz::ReadEveryRow([&] { return OpenTiffSource(std::make_unique<SourceFile>(path, bytes)); });
    fuzz::ReadEveryOtherRowAhead([&] { return OpenSource(path); });
    fuzz::ConvertWithProfile(bytes);
  }
  EXPECT_EQ(capture.Stop(), QByteArray());
  // The corpus keeps views that read as well as files that are refused.
  EXPECT_GT(read, 5);
  EXPECT_GT(refused, 5);
}

}  // namespace
}  // namespace plivora
