#include "jobs/job_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "common/error.h"
#include "common/file_names.h"
#include "common/output_file.h"

namespace plivora {

namespace {

// The largest JSON file read: a job of 255 long paths is a few hundred KB.
constexpr qint64 kMaxJsonBytes = qint64(16) << 20;

// A refusal of the job's content, with the key at fault; ParseJob adds the
// file and the line.
struct JobFault {
  QString key;
  QString reason;
};

[[noreturn]] void Refuse(const QString& key, const QString& reason) { throw JobFault{key, reason}; }

// The line (from 1) where `"key":` first stands after `from`, or 0.
int LineOfKey(const QByteArray& bytes, const QString& key, qsizetype from = 0) {
  const QByteArray quoted = '"' + key.toUtf8() + '"';
  for (qsizetype at = bytes.indexOf(quoted, from); at >= 0; at = bytes.indexOf(quoted, at + 1)) {
    qsizetype after = at + quoted.size();
    while (after < bytes.size() && (bytes[after] == ' ' || bytes[after] == '\t' || bytes[after] == '\n' || bytes[after] == '\r'))
      ++after;
    if (after < bytes.size() && bytes[after] == ':') return int(bytes.left(at).count('\n')) + 1;
  }
  return 0;
}

bool IsUtf8Name(const QString& name) {
  for (const QChar c : name)
    if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) return false;
  return true;
}

}  // namespace

const std::vector<JobOption>& JobOptions() {
  static const std::vector<JobOption> options = {
      {"dpi", OptionKind::kText},          {"lpi", OptionKind::kText},         {"width", OptionKind::kText},
      {"height", OptionKind::kText},       {"unit", OptionKind::kText},        {"compress", OptionKind::kText},
      {"compression", OptionKind::kText},  {"bigtiff", OptionKind::kSwitch},   {"colour", OptionKind::kText},
      {"cmyk-profile", OptionKind::kPath}, {"rgb-profile", OptionKind::kPath}, {"intent", OptionKind::kText},
      {"lenses", OptionKind::kText},       {"order", OptionKind::kText},       {"hold-ends", OptionKind::kText},
      {"phase", OptionKind::kText},        {"mirror", OptionKind::kSwitch},    {"panels", OptionKind::kText},
      {"bleed", OptionKind::kText},        {"marks", OptionKind::kSwitch},
  };
  return options;
}

const JobOption* FindJobOption(const QString& name) {
  for (const JobOption& o : JobOptions())
    if (name == QLatin1String(o.name)) return &o;
  return nullptr;
}

QStringList Job::UnknownKeys() const {
  QStringList keys = unknown.keys();
  for (const QString& key : unknownOptions.keys()) keys << QStringLiteral("options.") + key;
  return keys;
}

QJsonValue PathToJson(const QString& path, const QString& folder) {
  QString stored = path;
  if (!folder.isEmpty() && path.startsWith(folder + QChar('/'))) stored = path.mid(folder.size() + 1);
  if (IsUtf8Name(stored)) return stored;
  return QJsonObject{{QStringLiteral("bytes"), QString::fromLatin1(NativeFileName(stored).toBase64())}};
}

QString PathFromJson(const QJsonValue& value, const QString& folder) {
  QString stored;
  if (value.isString()) {
    stored = value.toString();
  } else if (value.isObject() && value.toObject().value(QLatin1String("bytes")).isString() && value.toObject().size() == 1) {
    const QByteArray base64 = value.toObject().value(QLatin1String("bytes")).toString().toLatin1();
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) throw Error(QStringLiteral("its \"bytes\" are not base64"));
    stored = FileNameFromNative(*decoded);
  } else {
    throw Error(QStringLiteral("a file name is a text, or {\"bytes\": \"<base64>\"}"));
  }
  if (stored.isEmpty() || stored.contains(QChar(0))) throw Error(QStringLiteral("a file name is empty or holds a NUL"));
  if (!stored.startsWith(QChar('/')) && !folder.isEmpty()) stored = folder + QChar('/') + stored;
  return AbsoluteFileName(stored);
}

QJsonObject OptionsToJson(const OptionValues& options, const QString& folder) {
  QJsonObject json;
  for (const auto& [name, value] : options) {
    const JobOption* o = FindJobOption(name);
    if (!o) continue;
    switch (o->kind) {
      case OptionKind::kSwitch: json.insert(name, true); break;
      case OptionKind::kPath: json.insert(name, PathToJson(value, folder)); break;
      case OptionKind::kText: json.insert(name, value); break;
    }
  }
  return json;
}

OptionValues OptionsFromJson(const QJsonObject& json, const QString& folder, QJsonObject* unknown) {
  OptionValues options;
  for (auto it = json.begin(); it != json.end(); ++it) {
    const JobOption* o = FindJobOption(it.key());
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
      case OptionKind::kPath:
        try {
          options[it.key()] = PathFromJson(it.value(), folder);
        } catch (const Error& e) {
          refuse(e.message());
        }
        break;
      case OptionKind::kText:
        if (!it.value().isString())
          refuse(QStringLiteral("its value is a text, as the command line takes it (\"%1\": \"...\")").arg(it.key()));
        options[it.key()] = it.value().toString();
        break;
    }
  }
  return options;
}

void FailReading(const QString& what, const QString& path, int line, const QString& reason) {
  Fail(line > 0 ? QStringLiteral("Cannot read the %1 \"%2\": line %3: %4").arg(what, path).arg(line).arg(reason)
                : QStringLiteral("Cannot read the %1 \"%2\": %3").arg(what, path, reason));
}

QByteArray ReadJsonFile(const QString& what, const QString& path, bool missingIsEmpty) {
  QFile file(NativeFileName(path));
  if (missingIsEmpty && !file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly)) FailReading(what, path, 0, file.errorString());
  if (file.size() > kMaxJsonBytes)
    FailReading(what, path, 0, QStringLiteral("it is %1 bytes, far more than it holds").arg(file.size()));
  const QByteArray bytes = file.read(kMaxJsonBytes + 1);
  return bytes.isNull() ? QByteArray("") : bytes;  // an empty file is there: not null
}

QJsonObject ParseJsonObject(const QString& what, const QString& path, const QByteArray& bytes) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError)
    FailReading(what, path, int(bytes.left(error.offset).count('\n')) + 1, error.errorString());
  if (!document.isObject()) FailReading(what, path, 1, QStringLiteral("it is not a JSON object ({ ... })"));
  return document.object();
}

Job ParseJob(const QByteArray& bytes, const QString& path, const QString& folder) {
  const QString what = QStringLiteral("job");
  const QJsonObject o = ParseJsonObject(what, path, bytes);
  Job job;
  const qsizetype optionsAt = bytes.indexOf("\"options\"");
  try {
    const QJsonValue format = o.value(QLatin1String("format"));
    if (!format.isDouble() || format.toDouble() != double(format.toInt()) || format.toInt() < 1)
      Refuse(QStringLiteral("format"), QStringLiteral("\"format\" must be a whole number from 1 (this version writes %1)").arg(kJobFormat));
    if (format.toInt() > kJobFormat)
      Refuse(QStringLiteral("format"), QStringLiteral("it is of format %1, newer than this version reads (%2); update Plivora")
                                           .arg(format.toInt()).arg(kJobFormat));
    const QJsonValue views = o.value(QLatin1String("views"));
    if (!views.isArray() || views.toArray().isEmpty())
      Refuse(QStringLiteral("views"), QStringLiteral("\"views\" must list the views, at least one"));
    int index = 0;
    for (const QJsonValue& view : views.toArray()) {
      ++index;
      try {
        job.views << PathFromJson(view, folder);
      } catch (const Error& e) {
        Refuse(QStringLiteral("views"), QStringLiteral("view %1: %2").arg(index).arg(e.message()));
      }
    }
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
    const bool option = FindJobOption(f.key) != nullptr;
    FailReading(what, path, LineOfKey(bytes, f.key, option && optionsAt >= 0 ? optionsAt : 0), f.reason);
  }
  for (auto it = o.begin(); it != o.end(); ++it)
    if (it.key() != QLatin1String("format") && it.key() != QLatin1String("views") && it.key() != QLatin1String("output") &&
        it.key() != QLatin1String("options"))
      job.unknown.insert(it.key(), it.value());
  return job;
}

Job ReadJob(const QString& path) {
  return ParseJob(ReadJsonFile(QStringLiteral("job"), path), path, FolderOf(AbsoluteFileName(path)));
}

void WriteJob(const QString& path, const Job& job) {
  const QString absolute = AbsoluteFileName(path);
  OutputFile::WriteWhole(absolute, JobBytes(job, FolderOf(absolute)));
}

QByteArray JobBytes(const Job& job, const QString& folder) {
  QJsonObject o = job.unknown;
  o.insert(QStringLiteral("format"), kJobFormat);
  QJsonArray views;
  for (const QString& view : job.views) views.append(PathToJson(view, folder));
  o.insert(QStringLiteral("views"), views);
  if (!job.output.isEmpty()) o.insert(QStringLiteral("output"), PathToJson(job.output, folder));
  QJsonObject options = job.unknownOptions;
  const QJsonObject known = OptionsToJson(job.options, folder);
  for (auto it = known.begin(); it != known.end(); ++it) options.insert(it.key(), it.value());
  o.insert(QStringLiteral("options"), options);
  return QJsonDocument(o).toJson();
}

}  // namespace plivora
