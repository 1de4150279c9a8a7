// libFuzzer entry: every input is a job file, a profiles file and a print
// setup's options held in memory. A job that reads is written again and
// must read back the same (its views, output and options byte for byte);
// its options go through the readers of colours, lenses, output forms and
// the bleed.
#include <QByteArray>
#include <QJsonDocument>
#include <cstdlib>

#include "common/error.h"
#include "interlace/export_geometry.h"
#include "jobs/export_options.h"
#include "jobs/job_file.h"
#include "jobs/profiles.h"

namespace {

void ReadOptions(const plivora::OptionValues& values) {
  using namespace plivora;
  try {
    ColourOptionsFrom(values, QString());
    LensOptionsFrom(values, QString());
    OutputFormFrom(values, QString());
  } catch (const Error&) {
  }
  const auto bleed = values.find(QStringLiteral("bleed"));
  if (bleed == values.end()) return;
  try {
    BleedE4(bleed->second, false);
  } catch (const Error&) {
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
    if (again.views != job.views || again.output != job.output || again.options != job.options) std::abort();
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
