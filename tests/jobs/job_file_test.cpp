// Job files below the command line: paths as stored, option values by kind,
// and the fuzzer's corpus of jobs, profiles and setups read or refused,
// every job that reads written back the same.
#include "jobs/job_file.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "common/error.h"
#include "common/file_names.h"
#include "jobs/profiles.h"
#include "support/test_support.h"

namespace plivora {
namespace {

using test::ErrorOf;
using test::TempDir;

TEST(JobFile, PathsAreRelativeUnderTheJobAndBytesWhenNotUtf8) {
  const QString folder = QStringLiteral("/work/card");
  const QString latin = FileNameFromNative("/work/card/views/lat\xe9.tif");
  struct Case {
    QString path;
    QJsonValue stored;
  };
  const Case cases[] = {
      {QStringLiteral("/work/card/views/a.tif"), QStringLiteral("views/a.tif")},
      {QStringLiteral("/work/card.tif"), QStringLiteral("/work/card.tif")},  // beside the folder, not in it
      {QStringLiteral("/elsewhere/b.tif"), QStringLiteral("/elsewhere/b.tif")},
      {latin, QJsonObject{{QStringLiteral("bytes"), QString::fromLatin1(QByteArray("views/lat\xe9.tif").toBase64())}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathToJson(c.path, folder), c.stored) << c.path.toStdString();
    EXPECT_EQ(PathFromJson(c.stored, folder), c.path) << c.path.toStdString();
  }
  EXPECT_EQ(PathFromJson(QStringLiteral("../up/d.tif"), folder), QStringLiteral("/work/up/d.tif"));
  for (const QJsonValue& bad : {QJsonValue(3), QJsonValue(QStringLiteral("")), QJsonValue(QJsonObject{{QStringLiteral("bytes"), QStringLiteral("!!")}})})
    EXPECT_FALSE(ErrorOf([&] { PathFromJson(bad, folder); }).isEmpty());
}

TEST(JobFile, OptionsByKindUnknownOnesKept) {
  QJsonObject unknown;
  const OptionValues values = OptionsFromJson(
      QJsonObject{{QStringLiteral("lpi"), QStringLiteral("75.4")}, {QStringLiteral("mirror"), true},
                  {QStringLiteral("bigtiff"), false}, {QStringLiteral("sparkle"), 1}},
      QString(), &unknown);
  EXPECT_EQ(values, (OptionValues{{QStringLiteral("lpi"), QStringLiteral("75.4")}, {QStringLiteral("mirror"), QString()}}));
  EXPECT_EQ(unknown.keys(), QStringList{QStringLiteral("sparkle")});
  EXPECT_EQ(ErrorOf([&] { OptionsFromJson(QJsonObject{{QStringLiteral("lpi"), 75}}, QString(), &unknown); }).left(5),
            QStringLiteral("lpi: "));
  EXPECT_EQ(ErrorOf([&] { OptionsFromJson(QJsonObject{{QStringLiteral("mirror"), QStringLiteral("yes")}}, QString(), &unknown); }).left(8),
            QStringLiteral("mirror: "));
}

// Every input of the job fuzzer's corpus either reads or is refused with
// Error; a job that reads comes back the same once written.
TEST(JobFile, CorpusInputsReadOrAreRefused) {
  const QDir corpus(QStringLiteral(PLIVORA_JOB_CORPUS));
  const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
  ASSERT_GE(names.size(), 5);
  int jobs = 0, books = 0;
  for (const QString& name : names) {
    QFile file(corpus.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    try {
      const Job job = ParseJob(bytes, name, QStringLiteral("/jobs"));
      const Job again = ParseJob(JobBytes(job, QStringLiteral("/jobs")), name, QStringLiteral("/jobs"));
      EXPECT_EQ(again.views, job.views) << name.toStdString();
      EXPECT_EQ(again.output, job.output) << name.toStdString();
      EXPECT_EQ(again.options, job.options) << name.toStdString();
      EXPECT_EQ(again.UnknownKeys(), job.UnknownKeys()) << name.toStdString();
      ++jobs;
    } catch (const Error&) {
    }
    try {
      ParseProfiles(bytes, name);
      ++books;
    } catch (const Error&) {
    }
  }
  EXPECT_GE(jobs, 1);
  EXPECT_GE(books, 1);
}


// An edit made in the window on the book as it was read is applied to the
// file as another program left it meanwhile: its saves survive, and what
// the window removed, renamed or changed is done.
TEST(Profiles, AnEditOfAnOldCopyKeepsWhatOthersSavedMeanwhile) {
  const auto lens = [](const char* name, const char* lpi) {
    return Profile{QString::fromUtf8(name), {{QStringLiteral("lpi"), QString::fromUtf8(lpi)}}, {}};
  };
  ProfileBook before;
  for (const Profile& p : {lens("a", "50"), lens("b", "60"), lens("c", "70")}) before.Put(ProfileKind::kLens, p);
  ProfileBook after = before;
  after.Remove(ProfileKind::kLens, QStringLiteral("a"));
  after.Rename(ProfileKind::kLens, QStringLiteral("b"), QStringLiteral("b2"));
  after.Put(ProfileKind::kLens, lens("c", "71"));
  ProfileBook now = before;
  now.Put(ProfileKind::kLens, lens("d", "80"));  // saved by another program
  now.Apply(before, after);
  QStringList names;
  for (const Profile& p : now.Of(ProfileKind::kLens)) names << p.name + QChar('=') + p.options.at(QStringLiteral("lpi"));
  EXPECT_EQ(names.join(QChar(' ')), QStringLiteral("c=71 d=80 b2=60"));
}

// Names a profile can't have, and names that are bytes rather than UTF-8,
// which the file keeps byte for byte.
TEST(Profiles, NamesAreOneLineOfAnyBytes) {
  for (const char* bad : {"", "  ", "two\nlines", "tab\there"})
    EXPECT_THROW(CheckProfileName(ProfileKind::kLens, QString::fromUtf8(bad)), Error) << bad;
  ProfileBook book;
  const QString name = FileNameFromNative("PET \xe9");
  book.Put(ProfileKind::kPrinter, {name, {{QStringLiteral("dpi"), QStringLiteral("2400")}}, {}});
  TempDir dir;
  WriteProfiles(dir.path("p.json"), book);
  const ProfileBook read = ReadProfiles(dir.path("p.json"));
  ASSERT_EQ(read.printers.size(), 1u);
  EXPECT_EQ(NativeFileName(read.printers[0].name), QByteArray("PET \xe9"));
}

}  // namespace
}  // namespace plivora
