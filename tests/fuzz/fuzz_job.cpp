// libFuzzer entry: every input is a job file, a profiles file and a print
// setup's options held in memory. A job that reads is written again and
// must read back the same (its views, output and options byte for byte);
// its options are read into the export's settings, as every front end
// reads them, under a point and a comma separator.
#include <QByteArray>
#include <QJsonDocument>
#include <cstdlib>

#include "common/error.h"
#include "jobs/job_file.h"
#include "jobs/profiles.h"
#include "options/export_settings.h"

namespace {

void ReadOptions(const plivora::OptionValues& values) {
  using namespace plivora;
  for (const QChar separator : {QChar('.'), QChar(',')}) {
    try {
      const ExportSettings s = SettingsFrom(values, separator);
      if (s.HeightGiven()) CheckPlateExtent(s.Parameters(1 + int(values.size() % 255)), s.lens.lenses);
    } catch (const Error&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plivora;
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const QString folder = QStringLiteral("/fuzz/jobs");
  try {
    const Job job = ParseJob(bytes, QStringLiteral("input.plivora"), folder);
    ReadOptions(job.options);
    const Job again = ParseJob(JobBytes(job, folder), QStringLiteral("again.plivora"), folder);
    if (again.views != job.views || again.layers != job.layers || again.output != job.output || again.options != job.options)
      std::abort();
  } catch (const Error&) {
  }
  try {
    const ProfileBook book = ParseProfiles(bytes, QStringLiteral("profiles.json"));
    for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter})
      for (const Profile& p : book.Of(kind)) ReadOptions(p.options);
  } catch (const Error&) {
  }
  QJsonObject unknown;
  try {
    ReadOptions(OptionsFromJson(QJsonDocument::fromJson(bytes).object(), QString(), &unknown));
  } catch (const Error&) {
  }
  return 0;
}
