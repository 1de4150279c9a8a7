// Job files below the command line: paths as stored, option values by kind,
// and the fuzzer's corpus of jobs, profiles and setups read or refused,
// every job that reads written back the same.
#include "jobs/job_file.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
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

// Layers keep their file (by bytes when not UTF-8), depth and corner; a
// job lists views or layers; malformed layers are refused naming the key.
TEST(JobFile, LayersComeBackAsTheyWereAndMalformedOnesAreRefused) {
  const QString folder = QStringLiteral("/jobs");
  Job job;
  job.layers = {{QStringLiteral("/jobs/art/sky.png"), -0.5L, 0, 0},
                {FileNameFromNative("/jobs/art/lat\xe9.png"), Real(0.3), 12, -7},
                {QStringLiteral("/elsewhere/text.png"), 0, 0, 0}};
  job.options[QStringLiteral("frames")] = QStringLiteral("12");
  const QByteArray bytes = JobBytes(job, folder);
  const Job again = ParseJob(bytes, QStringLiteral("j"), folder);
  EXPECT_EQ(again.layers, job.layers);
  EXPECT_TRUE(again.views.isEmpty());
  EXPECT_EQ(again.options, job.options);
  struct Case {
    const char* json;
    const char* says;
  };
  const Case cases[] = {
      {R"({"format": 1, "views": ["a.tif"], "layers": [{"path": "b.png"}]})", "not both"},
      {R"({"format": 1, "layers": []})", "at least one"},
      {R"({"format": 1, "layers": ["b.png"]})", "layer 1: a layer is an object"},
      {R"({"format": 1, "layers": [{"path": "b.png", "depth": "1"}]})", "layer 1 \"depth\""},
      {R"({"format": 1, "layers": [{"path": "b.png", "depth": 101}]})", "from -100 to 100"},
      {R"({"format": 1, "layers": [{"path": "a.png"}, {"path": "b.png", "position": [1.5, 2]}]})", "layer 2 \"position\""},
      {R"({"format": 1, "layers": [{"path": "b.png", "position": [1]}]})", "[x, y]"},
      {R"({"format": 1, "layers": [{"path": "b.png", "bytes": "YQ=="}]})", "one of them"},
      {R"({"format": 1, "layers": [{"path": "b.png", "shift": [1, 2]}]})", "not \"shift\""},
  };
  for (const Case& c : cases) {
    const QString error = ErrorOf([&] { ParseJob(QByteArray(c.json), QStringLiteral("j.plivora"), folder); });
    EXPECT_TRUE(error.contains(QLatin1String(c.says))) << c.json << ": " << error.toStdString();
  }
}

// Views with a shift or a turn are objects and come back as they were; a
// plain view stays a name; a malformed view is refused with its line and key.
TEST(JobFile, ViewsKeepTheirShiftsAndTurns) {
  const QByteArray bytes = "{\"format\": 1, \"views\": [\"a.tif\",\n"
                           " {\"path\": \"b.tif\", \"shift\": [-1.5, 2]},\n"
                           " {\"bytes\": \"Yy50aWY=\", \"turn\": 0.25},\n"
                           " {\"path\": \"d.tif\", \"shift\": [0, 0], \"turn\": 0}]}";
  const Job job = ParseJob(bytes, QStringLiteral("j.plivora"), QStringLiteral("/jobs"));
  EXPECT_EQ(job.views, (QStringList{"/jobs/a.tif", "/jobs/b.tif", "/jobs/c.tif", "/jobs/d.tif"}));
  EXPECT_EQ(job.transforms, (std::vector<ViewTransform>{{}, {-1.5, 2, 0}, {0, 0, 0.25}, {}}));
  const Job again = ParseJob(JobBytes(job, QStringLiteral("/jobs")), QStringLiteral("j"), QStringLiteral("/jobs"));
  EXPECT_EQ(again.transforms, job.transforms);
  const QJsonArray stored = QJsonDocument::fromJson(JobBytes(job, QStringLiteral("/jobs"))).object().value("views").toArray();
  EXPECT_EQ(stored.at(0), QJsonValue(QStringLiteral("a.tif")));
  EXPECT_EQ(stored.at(3), QJsonValue(QStringLiteral("d.tif")));
  EXPECT_EQ(stored.at(1), QJsonValue(QJsonObject{{"path", "b.tif"}, {"shift", QJsonArray{-1.5, 2}}}));
  const Job plain = ParseJob("{\"format\": 1, \"views\": [\"a.tif\", {\"path\": \"b.tif\"}]}", QStringLiteral("p"), QStringLiteral("/jobs"));
  EXPECT_TRUE(plain.transforms.empty());
  // The window's list reordered: each file keeps its own.
  EXPECT_EQ(job.TransformsFor({"/jobs/c.tif", "/jobs/b.tif", "/jobs/x.tif"}), (std::vector<ViewTransform>{{0, 0, 0.25}, {-1.5, 2, 0}, {}}));

  struct Bad {
    const char* second;  // the second view, on line 3
    const char* message;
  };
  const Bad bads[] = {
      {R"({"path": "b.tif", "shift": [1]})", "line 3: view 2 \"shift\": \"shift\" must be two numbers of pixels, [dx, dy]"},
      {R"({"path": "b.tif", "shift": ["1", 2]})", "line 3: view 2 \"shift\": \"shift\" must be two numbers"},
      {R"({"path": "b.tif", "turn": "0.5"})", "line 3: view 2 \"turn\": \"turn\" must be a number of degrees"},
      {R"({"path": "b.tif", "turn": 7})", "line 3: view 2 \"turn\": View \"/jobs/b.tif\": a turn of 7 degrees is out of range"},
      {R"({"path": "b.tif", "shift": [2e6, 0]})", "line 3: view 2 \"shift\": View \"/jobs/b.tif\": a shift of"},
      {R"({"path": "b.tif", "shfit": [1, 2]})", "line 3: view 2 \"shfit\": a view holds \"path\" (or \"bytes\"), \"shift\" and \"turn\""},
      {R"({"shift": [1, 2]})", "line 1: view 2: a view names its file by \"path\" or by \"bytes\""},
      {R"({"path": 3, "turn": 1})", "line 3: view 2 \"path\": "},
  };
  for (const Bad& b : bads) {
    const QByteArray text = QByteArray("{\"format\": 1, \"views\": [\n{\"path\": \"a.tif\", \"shift\": [1, 2], \"turn\": 1},\n") + b.second + "]}";
    const QString error = ErrorOf([&] { ParseJob(text, QStringLiteral("bad.plivora"), QStringLiteral("/jobs")); });
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot read the job \"bad.plivora\": ") + QString::fromUtf8(b.message)))
        << error.toStdString();
  }
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
      EXPECT_EQ(again.transforms, job.transforms) << name.toStdString();
      EXPECT_EQ(again.layers, job.layers) << name.toStdString();
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
