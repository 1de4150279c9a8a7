// Job files (".plivora"): a series of views, every export option by its
// command-line name, and the output, in JSON. Jobs are run by
// plivora-interlace --job and opened by the window; lens and printer
// profiles keep their options the same way (profiles.h).
//
//   {
//     "format": 1,
//     "views": ["views/v01.tif", "views/v02.tif"],
//     "output": "plates/card.tif",
//     "options": {"lpi": "75.40595", "unit": "inch", "width": "2", "colour": "cmyk", "mirror": true}
//   }
//
// Option values are the texts the command line takes ("75.40595", "inch",
// "3/8"), and true for a switch given; an option left out takes its default
// when the job runs. Paths beside or under the job's folder are stored
// relative to it, others absolute; a name that is not UTF-8 is stored as
// {"bytes": "<base64>"}, so that it comes back byte for byte. A view with a
// shift or a turn is an object (job_views.h). A job of views made from
// layers lists "layers" (job_layers.h) in the place of "views".
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "common/json_file.h"
#include "options/option_table.h"
#include "series/layered_views.h"
#include "series/view_transform.h"

namespace plivora {

struct Job {
  QStringList views;   // absolute, in the job's order
  // Each view's shift and turn (job_views.h), in the order of `views`;
  // empty when no view has any.
  std::vector<ViewTransform> transforms;
  // The layers the views are made from (job_layers.h), back to front;
  // empty for a job of view files. A job has views or layers, not both.
  std::vector<Layer> layers;
  QString output;      // absolute; empty when the job names none
  OptionValues options;
  // Keys this version does not know, at the top and in "options", kept as
  // they came so that a job saved again keeps them.
  QJsonObject unknown, unknownOptions;
  // View `view`'s shift and turn (none past the end of `transforms`).
  ViewTransform TransformOf(qsizetype view) const;
  // The shifts and turns of `list`, a new list of views: the n-th listing
  // of a file takes the n-th listing's here (none for a file not here).
  std::vector<ViewTransform> TransformsFor(const QStringList& list) const;
  // Empties `transforms` when no view has a shift or a turn.
  void DropIdentityTransforms();
  // "KEY" or "options.KEY" for each of them, to report.
  QStringList UnknownKeys() const;
};

inline constexpr int kJobFormat = 1;

// The job in `path`; Error "Cannot read the job "PATH": line N: REASON"
// for a file that is not one (the line of the key at fault, or of the JSON
// error).
Job ReadJob(const QString& path);
// The same from bytes, paths taken relative to `folder`.
Job ParseJob(const QByteArray& bytes, const QString& path, const QString& folder);

// Refuses `path` as the name of a job to write when a file stands there that
// is not a job (a view, a profile, a plate): "The file "PATH" is not a job;
// choose another file name". Nothing there, or a job, passes.
void CheckJobTarget(const QString& path);

// Writes `job` to `path`, replacing it only once the new one is complete.
void WriteJob(const QString& path, const Job& job);
// The bytes WriteJob writes for a job file in `folder`.
QByteArray JobBytes(const Job& job, const QString& folder);

// Options as JSON values (texts, and true for switches), and back; paths
// relative to `folder` where they lie under it (empty: kept as they are).
QJsonObject OptionsToJson(const OptionValues& options, const QString& folder);
// Raises "KEY: REASON" for a value of the wrong kind; unknown keys go to
// *unknown.
OptionValues OptionsFromJson(const QJsonObject& json, const QString& folder, QJsonObject* unknown);

// A file name as stored (relative to `folder` where it lies under it, a
// {"bytes"} object when it is not UTF-8), and back.
QJsonValue PathToJson(const QString& path, const QString& folder);
// Raises "REASON" for a value that is not a path.
QString PathFromJson(const QJsonValue& value, const QString& folder);

}  // namespace plivora
