// A PNG's ancillary chunks of no use to the reader are skipped unread: a
// chunk claiming 1 GiB in a 57-byte file costs no allocation of that size.
#include <unistd.h>
#include <sys/wait.h>
#include <zlib.h>

#include <QFile>
#include <cstdio>
#include <cstring>
#include <string>

#include "series/source_image.h"
#include "support/test_support.h"

namespace plivora {
namespace {

// The process's peak address space (VmPeak), in KiB: an allocation counts
// here whether or not its pages are ever touched.
long PeakAddressSpaceKiB() {
  FILE* status = std::fopen("/proc/self/status", "r");
  char line[256];
  long kib = -1;
  while (status && std::fgets(line, sizeof line, status))
    if (std::strncmp(line, "VmPeak:", 7) == 0) kib = std::atol(line + 7);
  if (status) std::fclose(status);
  return kib;
}

// How far the peak address space rises while `f` runs, in a child process.
long ChildAddressSpaceRiseKiB(const std::function<void()>& f) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    const long before = PeakAddressSpaceKiB();
    try {
      f();
    } catch (const Error&) {
    }
    const long rise = PeakAddressSpaceKiB() - before;
    (void)!::write(pipeEnds[1], &rise, sizeof rise);
    _exit(0);
  }
  ::close(pipeEnds[1]);
  long rise = -1;
  if (::read(pipeEnds[0], &rise, sizeof rise) != sizeof rise) rise = -1;
  ::close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return rise;
}

QByteArray Chunk(const char* kind, const QByteArray& payload) {
  QByteArray bytes(4, '\0');
  const uint32_t n = uint32_t(payload.size());
  for (int i = 0; i < 4; ++i) bytes[i] = char(n >> (24 - 8 * i));
  const QByteArray body = QByteArray(kind, 4) + payload;
  const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size())));
  QByteArray tail(4, '\0');
  for (int i = 0; i < 4; ++i) tail[i] = char(crc >> (24 - 8 * i));
  return bytes + body + tail;
}

TEST(PngChunks, ChunksOfNoUseAreSkippedUnread) {
  test::TempDir dir;
  const QByteArray head = QByteArray("\x89PNG\r\n\x1a\n", 8) +
                          Chunk("IHDR", QByteArray("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13));
  for (const char* kind : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "sCAL"}) {
    // Its length says 1 GiB; 16 bytes follow and the file ends.
    const QByteArray file = head + QByteArray("\x40\0\0\0", 4) + QByteArray(kind, 4) + QByteArray("k\0xxxxxxxxxxxxxx", 16);
    ASSERT_EQ(file.size(), 57);
    const QString path = dir.path(QStringLiteral("%1.png").arg(QLatin1String(kind)));
    test::WriteBytes(path, std::vector<uint8_t>(file.begin(), file.end()));
    const long rise = ChildAddressSpaceRiseKiB([&] { OpenSource(path); });
    EXPECT_GE(rise, 0) << kind;
    EXPECT_LT(rise, 64 << 10) << kind;
    EXPECT_TRUE(test::ErrorOf([&] { OpenSource(path); }).contains("the file ends early")) << kind;
  }
}

}  // namespace
}  // namespace plivora
