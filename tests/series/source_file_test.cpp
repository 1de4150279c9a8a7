// What may be opened as a view: regular files only, under the exact bytes of
// their names. Anything else is refused at once, naming the file.
#include "series/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <chrono>
#include <future>

#include "common/file_names.h"
#include "sample/view_writer.h"
#include "series/source_image.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;

QString NotRegular(const QString& path, const char* kind) {
  return QStringLiteral("Cannot read view \"%1\": it is not a regular file (%2)").arg(path, kind);
}

// Opening a FIFO for reading waits for a writer; the view reader must not.
// Should it wait, the test fails after a few seconds and lets it go by
// opening the FIFO for writing.
TEST(SourceFile, RefusesAFifoWithoutWaitingForAWriter) {
  test::TempDir dir;
  const QString path = dir.path("pipe.tif");
  const QByteArray native = NativeFileName(path);
  ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
  auto opening = std::async(std::launch::async, [&] { return ErrorOf([&] { OpenSource(path); }); });
  if (opening.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
    ADD_FAILURE() << "opening a FIFO as a view waits for a writer";
    const int writer = ::open(native.constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  EXPECT_EQ(opening.get(), NotRegular(path, "a FIFO"));
}

// Devices, a pipe behind /dev/stdin and folders are named for what they are,
// not with the text of an error left over from an earlier call.
TEST(SourceFile, RefusesDevicesPipesAndFoldersNamingThem) {
  test::TempDir dir;
  EXPECT_EQ(ErrorOf([] { OpenSource(QStringLiteral("/dev/null")); }), NotRegular("/dev/null", "a character device"));
  EXPECT_EQ(ErrorOf([] { OpenSource(QStringLiteral("/dev/zero")); }), NotRegular("/dev/zero", "a character device"));
  EXPECT_EQ(ErrorOf([&] { OpenSource(dir.path()); }), NotRegular(dir.path(), "a folder"));

  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const int savedStdin = ::dup(0);
  ::dup2(pipeEnds[0], 0);
  const QString message = ErrorOf([] { OpenSource(QStringLiteral("/dev/stdin")); });
  ::dup2(savedStdin, 0);
  for (int fd : {savedStdin, pipeEnds[0], pipeEnds[1]}) ::close(fd);
  EXPECT_EQ(message, NotRegular("/dev/stdin", "a FIFO"));

  EXPECT_EQ(ErrorOf([&] { OpenSource(dir.path("none.tif")); }),
            QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(dir.path("none.tif")));
}

// A name that is not UTF-8 reaches the system as the bytes it was read as.
TEST(SourceFile, OpensAViewWhoseNameIsNotUtf8) {
  test::TempDir dir;
  const QByteArray native = NativeFileName(dir.path()) + "/lat\xe9.tif";
  WriteViewFile(dir.path("plain.tif"), 3, 2, test::Uniform(3, 2, 1, 2, 3, 4));
  ASSERT_EQ(::rename(NativeFileName(dir.path("plain.tif")).constData(), native.constData()), 0);
  const auto reader = OpenSource(FileNameFromNative(native));
  EXPECT_EQ(reader->image().Width, 3u);
  std::vector<uint8_t> row(12);
  reader->ReadRow(1, row.data());
  EXPECT_EQ(row[3], 4);
}

}  // namespace
}  // namespace plivora
