#include "jobs/job_file.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "common/error.h"
#include "common/file_names.h"
#include "common/output_file.h"
#include "jobs/job_layers.h"
#include "jobs/job_views.h"

namespace plivora {

namespace {

// A refusal of the job's content, with the key at fault; ParseJob adds the
// file and the line.
struct JobFault {
  QString key;
  QString reason;
  int line = 0;  // when known already; else the key's line
};

[[noreturn]] void Refuse(const QString& key, const QString& reason) { throw JobFault{key, reason}; }

// The line of view `index`'s (from 0) `"key":` after byte `from` (the
// views' key): the views before it that hold the key are counted past.
int LineOfViewKey(const QByteArray& bytes, const QJsonArray& views, qsizetype index, const QString& key, qsizetype from) {
  if (key.isEmpty() || from < 0) return LineOfKey(bytes, QStringLiteral("views"));
  qsizetype before = 0;
  for (qsizetype j = 0; j < index; ++j) before += views.at(j).toObject().contains(key) ? 1 : 0;
  const QByteArray quoted = '"' + key.toUtf8() + '"';
  for (qsizetype at = bytes.indexOf(quoted, from); at >= 0; at = bytes.indexOf(quoted, at + 1)) {
    qsizetype after = at + quoted.size();
    while (after < bytes.size() && QByteArrayView(" \t\r\n").contains(bytes[after])) ++after;
    if (after < bytes.size() && bytes[after] == ':' && before-- == 0) return LineOfKey(bytes, key, at);
  }
  return LineOfKey(bytes, QStringLiteral("views"));
}

// The layers of the job, back to front.
void ReadLayers(const QByteArray& bytes, const QJsonValue& layers, const QString& folder, Job& job) {
  if (!layers.isArray() || layers.toArray().isEmpty())
    Refuse(QStringLiteral("layers"), QStringLiteral("\"layers\" must list the layers, back to front, at least one"));
  const QJsonArray list = layers.toArray();
  for (qsizetype i = 0; i < list.size(); ++i) {
    try {
      job.layers.push_back(LayerFromJson(list.at(i), folder));
    } catch (const ViewFault& f) {
      const QString where = f.key.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(f.key);
      throw JobFault{QStringLiteral("layers"), QStringLiteral("layer %1%2: %3").arg(i + 1).arg(where, f.reason),
                     LineOfKey(bytes, QStringLiteral("layers"))};
    }
  }
}

// The views of the job, with their shifts and turns.
void ReadViews(const QByteArray& bytes, const QJsonValue& views, const QString& folder, Job& job) {
  if (!job.layers.empty()) {
    if (!views.isUndefined() && !(views.isArray() && views.toArray().isEmpty()))
      Refuse(QStringLiteral("views"), QStringLiteral("a job lists \"views\" or \"layers\" to make them from, not both"));
    return;
  }
  if (!views.isArray() || views.toArray().isEmpty())
    Refuse(QStringLiteral("views"), QStringLiteral("\"views\" must list the views, at least one"));
  const QJsonArray list = views.toArray();
  for (qsizetype i = 0; i < list.size(); ++i) {
    try {
      const JobView view = ViewFromJson(list.at(i), folder);
      job.views << view.path;
      job.transforms.push_back(view.transform);
    } catch (const ViewFault& f) {
      const QString where = f.key.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(f.key);
      throw JobFault{QStringLiteral("views"), QStringLiteral("view %1%2: %3").arg(i + 1).arg(where, f.reason),
                     LineOfViewKey(bytes, list, i, f.key, bytes.indexOf("\"views\""))};
    }
  }
  job.DropIdentityTransforms();
}

}  // namespace

ViewTransform Job::TransformOf(qsizetype view) const {
  return view >= 0 && size_t(view) < transforms.size() ? transforms[size_t(view)] : ViewTransform{};
}

void Job::DropIdentityTransforms() {
  for (const ViewTransform& t : transforms)
    if (!t.Identity()) return;
  transforms.clear();
}

std::vector<ViewTransform> Job::TransformsFor(const QStringList& list) const {
  std::vector<ViewTransform> result;
  for (qsizetype i = 0; i < list.size(); ++i) {
    qsizetype nth = list.mid(0, i).count(list[i]), at = -1;
    while (nth-- >= 0 && (at = views.indexOf(list[i], at + 1)) >= 0) {
    }
    result.push_back(at >= 0 ? TransformOf(at) : ViewTransform{});
  }
  return result;
}

QStringList Job::UnknownKeys() const {
  QStringList keys = unknown.keys();
  for (const QString& key : unknownOptions.keys()) keys << QStringLiteral("options.") + key;
  return keys;
}

QJsonValue PathToJson(const QString& path, const QString& folder) {
  const bool under = !folder.isEmpty() && path.startsWith(folder + QChar('/'));
  return TextToJson(under ? path.mid(folder.size() + 1) : path);
}

QString PathFromJson(const QJsonValue& value, const QString& folder) {
  QString stored = TextFromJson(value, QStringLiteral("a file name"));
  if (stored.isEmpty() || stored.contains(QChar(0))) throw Error(QStringLiteral("a file name is empty or holds a NUL"));
  if (!stored.startsWith(QChar('/')) && !folder.isEmpty()) stored = folder + QChar('/') + stored;
  return AbsoluteFileName(stored);
}

QJsonObject OptionsToJson(const OptionValues& options, const QString& folder) {
  QJsonObject json;
  for (const auto& [name, value] : options) {
    const OptionEntry* o = FindExportOption(name);
    if (!o) continue;
    switch (o->kind) {
      case OptionKind::kSwitch: json.insert(name, true); break;
      case OptionKind::kFile: json.insert(name, PathToJson(value, folder)); break;
      default: json.insert(name, value); break;
    }
  }
  return json;
}

OptionValues OptionsFromJson(const QJsonObject& json, const QString& folder, QJsonObject* unknown) {
  OptionValues options;
  for (auto it = json.begin(); it != json.end(); ++it) {
    const OptionEntry* o = FindExportOption(it.key());
    if (!o) {
      unknown->insert(it.key(), it.value());
      continue;
    }
    const auto refuse = [&](const QString& reason) { throw Error(QStringLiteral("%1: %2").arg(it.key(), reason)); };
    switch (o->kind) {
      case OptionKind::kSwitch:
        if (!it.value().isBool()) refuse(QStringLiteral("it is a switch: true or false"));
        if (it.value().toBool()) options[it.key()] = QString();
        break;
      case OptionKind::kFile:
        try {
          options[it.key()] = PathFromJson(it.value(), folder);
        } catch (const Error& e) {
          refuse(e.message());
        }
        break;
      default:
        if (!it.value().isString())
          refuse(QStringLiteral("its value is a text, as the command line takes it (\"%1\": \"...\")").arg(it.key()));
        options[it.key()] = CanonicalValue(it.key(), it.value().toString());
        break;
    }
  }
  return options;
}

Job ParseJob(const QByteArray& bytes, const QString& path, const QString& folder) {
  const QString what = QStringLiteral("job");
  const QJsonObject o = ParseJsonObject(what, path, bytes);
  CheckFormat(what, path, bytes, o, kJobFormat);
  Job job;
  const qsizetype optionsAt = bytes.indexOf("\"options\"");
  try {
    if (o.contains(QLatin1String("layers"))) ReadLayers(bytes, o.value(QLatin1String("layers")), folder, job);
    ReadViews(bytes, o.value(QLatin1String("views")), folder, job);
    if (o.contains(QLatin1String("output"))) {
      try {
        job.output = PathFromJson(o.value(QLatin1String("output")), folder);
      } catch (const Error& e) {
        Refuse(QStringLiteral("output"), QStringLiteral("output: %1").arg(e.message()));
      }
    }
    const QJsonValue options = o.value(QLatin1String("options"));
    if (!options.isUndefined() && !options.isObject())
      Refuse(QStringLiteral("options"), QStringLiteral("\"options\" must be an object of options by name"));
    try {
      job.options = OptionsFromJson(options.toObject(), folder, &job.unknownOptions);
    } catch (const Error& e) {
      Refuse(e.message().section(QChar(':'), 0, 0), e.message());
    }
  } catch (const JobFault& f) {
    const bool option = FindExportOption(f.key) != nullptr;
    FailReading(what, path, f.line ? f.line : LineOfKey(bytes, f.key, option && optionsAt >= 0 ? optionsAt : 0), f.reason);
  }
  for (auto it = o.begin(); it != o.end(); ++it)
    if (it.key() != QLatin1String("format") && it.key() != QLatin1String("views") && it.key() != QLatin1String("output") &&
        it.key() != QLatin1String("options") && it.key() != QLatin1String("layers"))
      job.unknown.insert(it.key(), it.value());
  return job;
}

Job ReadJob(const QString& path) {
  return ParseJob(ReadJsonFile(QStringLiteral("job"), path), path, FolderOf(AbsoluteFileName(path)));
}

void CheckJobTarget(const QString& path) {
  try {
    const QByteArray bytes = ReadJsonFile(QStringLiteral("job"), path, true);
    if (bytes.isNull() || ParseJsonObject(QStringLiteral("job"), path, bytes).contains(QLatin1String("views"))) return;
  } catch (const Error&) {
  }
  Fail(QStringLiteral("The file \"%1\" is not a job; choose another file name").arg(path));
}

void WriteJob(const QString& path, const Job& job) {
  const QString absolute = AbsoluteFileName(path);
  OutputFile::WriteWhole(absolute, JobBytes(job, FolderOf(absolute)));
}

QByteArray JobBytes(const Job& job, const QString& folder) {
  QJsonObject o = job.unknown;
  o.insert(QStringLiteral("format"), kJobFormat);
  QJsonArray views;
  for (qsizetype i = 0; i < job.views.size(); ++i) views.append(ViewToJson({job.views[i], job.TransformOf(i)}, folder));
  o.insert(QStringLiteral("views"), views);
  if (!job.layers.empty()) {
    QJsonArray layers;
    for (const Layer& layer : job.layers) layers.append(LayerToJson(layer, folder));
    o.insert(QStringLiteral("layers"), layers);
  }
  if (!job.output.isEmpty()) o.insert(QStringLiteral("output"), PathToJson(job.output, folder));
  QJsonObject options = job.unknownOptions;
  const QJsonObject known = OptionsToJson(job.options, folder);
  for (auto it = known.begin(); it != known.end(); ++it) options.insert(it.key(), it.value());
  o.insert(QStringLiteral("options"), options);
  return QJsonDocument(o).toJson();
}

}  // namespace plivora
