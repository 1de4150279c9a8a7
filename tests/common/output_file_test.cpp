#include "common/output_file.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <exception>
#include <stdexcept>

#include "common/signal_cleanup.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::TempDir;

// Files committed together: when one can't take its name, none does, and
// every earlier file of those names stays as it was.
TEST(Panels, CommittedTogetherOrNotAtAll) {
  TempDir dir;
  for (const char* name : {"a.tif", "b.tif"}) test::WriteBytes(dir.path(name), {'o', 'l', 'd'});
  {
    OutputFile a(dir.path("a.tif")), b(dir.path("b.tif")), c(dir.path("c.tif"));
    for (OutputFile* f : {&a, &b, &c}) f->Write("new", 3);
    QDir().mkdir(dir.path("c.tif"));  // something else takes the last name meanwhile
    EXPECT_TRUE(ErrorOf([&] { OutputFile::CommitTogether({&a, &b, &c}); }).contains("Something else took its place"));
  }
  EXPECT_EQ(test::ReadBytes(dir.path("a.tif")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(test::ReadBytes(dir.path("b.tif")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"a.tif", "b.tif", "c.tif"}));

  QDir().rmdir(dir.path("c.tif"));
  {
    OutputFile a(dir.path("a.tif")), b(dir.path("b.tif")), c(dir.path("c.tif"));
    for (OutputFile* f : {&a, &b, &c}) f->Write("new", 3);
    OutputFile::CommitTogether({&a, &b, &c});
  }
  for (const char* name : {"a.tif", "b.tif", "c.tif"})
    EXPECT_EQ(test::ReadBytes(dir.path(name)), (std::vector<uint8_t>{'n', 'e', 'w'})) << name;
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"a.tif", "b.tif", "c.tif"}));
}

// A signal that came while the panels took their names waited, and then
// ended the process with 130 although every panel was in place. Once the
// names are given the export has succeeded: the signal is kept for the
// program to weigh, not acted on. When the naming fails, it takes effect.
TEST(Panels, ASignalDuringTheNamingNeverUndoesSuccess) {
  const auto run = [](bool fails) {
    const pid_t child = fork();
    if (child == 0) {
      InstallSignalCleanup();
      try {
        const SignalCleanupHold hold;
        ::raise(SIGINT);
        if (fails) throw std::runtime_error("the naming failed");
      } catch (const std::exception&) {
        _exit(3);
      }
      _exit(TakeDeferredSignal() == SIGINT && TakeDeferredSignal() == 0 ? 0 : 4);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return status;
  };
  const int succeeded = run(false);
  ASSERT_TRUE(WIFEXITED(succeeded)) << "ended by signal " << WTERMSIG(succeeded);
  EXPECT_EQ(WEXITSTATUS(succeeded), 0);
  const int failed = run(true);
  ASSERT_TRUE(WIFSIGNALED(failed));
  EXPECT_EQ(WTERMSIG(failed), SIGINT);
}

}  // namespace
}  // namespace plivora
