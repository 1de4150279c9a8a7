#include "jobs/profiles.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "common/error.h"
#include "common/file_lock.h"
#include "common/file_names.h"
#include "common/output_file.h"

namespace plivora {

namespace {

// The lock file beside the profiles file: saves read, change and write the
// book under it.
QString LockPathOf(const QString& path) { return FolderOf(path) + QStringLiteral("/.plivora-profiles.lock"); }

void MakeFolderFor(const QString& path) {
  const QString folder = FolderOf(path);
  if (const int err = MakeFolders(folder))
    Fail(QStringLiteral("Cannot make the folder \"%1\" for the profiles: %2").arg(folder, SystemErrorText(err)));
}

}  // namespace

void CheckProfileName(ProfileKind kind, const QString& name) {
  if (name.trimmed().isEmpty()) Fail(QStringLiteral("A %1 needs a name").arg(ProfileKindName(kind)));
  for (const QChar c : name)
    if (c.category() == QChar::Other_Control)
      Fail(QStringLiteral("A %1's name is one line of text, without line breaks or tabs").arg(ProfileKindName(kind)));
}

QString ProfileKindName(ProfileKind kind) {
  return kind == ProfileKind::kLens ? QStringLiteral("lens") : QStringLiteral("printer");
}

const QStringList& ProfileOptionNames(ProfileKind kind) {
  const auto names = [](KeptBy by) {
    QStringList list;
    for (const OptionEntry& o : ExportOptions())
      if (o.keptBy == by) list << o.name;
    return list;
  };
  static const QStringList lens = names(KeptBy::kLens), printer = names(KeptBy::kPrinter);
  return kind == ProfileKind::kLens ? lens : printer;
}

const Profile* ProfileBook::Find(ProfileKind kind, const QString& name) const {
  for (const Profile& p : Of(kind))
    if (p.name == name) return &p;
  return nullptr;
}

void ProfileBook::Put(ProfileKind kind, const Profile& profile) {
  CheckProfileName(kind, profile.name);
  for (Profile& p : Of(kind))
    if (p.name == profile.name) {
      p = profile;
      return;
    }
  Of(kind).push_back(profile);
}

bool ProfileBook::Remove(ProfileKind kind, const QString& name) {
  std::vector<Profile>& list = Of(kind);
  for (auto it = list.begin(); it != list.end(); ++it)
    if (it->name == name) {
      list.erase(it);
      return true;
    }
  return false;
}

void ProfileBook::Rename(ProfileKind kind, const QString& from, const QString& to) {
  CheckProfileName(kind, to);
  if (from != to && Find(kind, to)) Fail(QStringLiteral("There is a %1 named \"%2\" already").arg(ProfileKindName(kind), to));
  for (Profile& p : Of(kind))
    if (p.name == from) {
      p.name = to;
      return;
    }
  Fail(QStringLiteral("There is no %1 named \"%2\"").arg(ProfileKindName(kind), from));
}

void ProfileBook::Merge(const ProfileBook& other) {
  for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter})
    for (const Profile& p : other.Of(kind)) Put(kind, p);
}

void ProfileBook::Apply(const ProfileBook& before, const ProfileBook& after) {
  const auto same = [](const Profile& a, const Profile& b) {
    return a.name == b.name && a.options == b.options && a.unknown == b.unknown;
  };
  for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter}) {
    for (const Profile& p : before.Of(kind))
      if (!after.Find(kind, p.name)) Remove(kind, p.name);
    for (const Profile& p : after.Of(kind)) {
      const Profile* was = before.Find(kind, p.name);
      if (!was || !same(*was, p)) Put(kind, p);
    }
  }
}

QString ProfilesPath() {
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG rule says.
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!base.startsWith(QChar('/'))) {
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) Fail(QStringLiteral("Cannot find the profiles: neither XDG_CONFIG_HOME nor HOME is set"));
    base = home + QStringLiteral("/.config");
  }
  return AbsoluteFileName(base + QStringLiteral("/vexo/plivora-profiles.json"));
}

ProfileBook ParseProfiles(const QByteArray& bytes, const QString& path) {
  const QString what = QStringLiteral("profiles");
  const auto fail = [&](int line, const QString& reason) { FailReading(what, path, line, reason); };
  const QJsonObject o = ParseJsonObject(what, path, bytes);
  CheckFormat(what, path, bytes, o, kProfilesFormat);
  ProfileBook book;
  for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter}) {
    const QString key = kind == ProfileKind::kLens ? QStringLiteral("lenses") : QStringLiteral("printers");
    const QJsonValue list = o.value(key);
    if (list.isUndefined()) continue;
    const int keyLine = LineOfKey(bytes, key);
    if (!list.isArray()) fail(keyLine, QStringLiteral("\"%1\" must be a list of profiles").arg(key));
    for (const QJsonValue& entry : list.toArray()) {
      const QJsonObject e = entry.toObject();
      QString name;
      try {
        name = TextFromJson(e.value(QLatin1String("name")), QStringLiteral("a name"));
        CheckProfileName(kind, name);
      } catch (const Error& err) {
        fail(keyLine, QStringLiteral("every %1 needs a \"name\": %2").arg(ProfileKindName(kind), err.message()));
      }
      const QJsonValue stored = TextToJson(name);
      const int line = LineAt(bytes, bytes.indexOf(stored.isString() ? '"' + name.toUtf8() + '"'
                                                                      : stored.toObject().value(QLatin1String("bytes")).toString().toLatin1()));
      if (book.Find(kind, name)) fail(line, QStringLiteral("there are two %1s named \"%2\"").arg(ProfileKindName(kind), name));
      Profile profile{name, {}, {}};
      const QJsonValue options = e.value(QLatin1String("options"));
      if (!options.isUndefined() && !options.isObject())
        fail(line, QStringLiteral("%1 \"%2\": \"options\" must be an object").arg(ProfileKindName(kind), name));
      QJsonObject unknownOptions;
      try {
        profile.options = OptionsFromJson(options.toObject(), QString(), &unknownOptions);
      } catch (const Error& err) {
        fail(line, QStringLiteral("%1 \"%2\": %3").arg(ProfileKindName(kind), name, err.message()));
      }
      // A lens holds lens options and a printer printer options; others
      // (from a newer version) are kept with the unknown keys.
      for (auto it = profile.options.begin(); it != profile.options.end();) {
        if (ProfileOptionNames(kind).contains(it->first)) {
          ++it;
          continue;
        }
        unknownOptions.insert(it->first, OptionsToJson({*it}, QString()).value(it->first));
        it = profile.options.erase(it);
      }
      for (auto it = e.begin(); it != e.end(); ++it)
        if (it.key() != QLatin1String("name") && it.key() != QLatin1String("options")) profile.unknown.insert(it.key(), it.value());
      if (!unknownOptions.isEmpty()) profile.unknown.insert(QStringLiteral("options"), unknownOptions);
      book.Of(kind).push_back(profile);
    }
  }
  for (auto it = o.begin(); it != o.end(); ++it)
    if (it.key() != QLatin1String("format") && it.key() != QLatin1String("lenses") && it.key() != QLatin1String("printers"))
      book.unknown.insert(it.key(), it.value());
  return book;
}

ProfileBook ReadProfiles(const QString& path) {
  const QByteArray bytes = ReadJsonFile(QStringLiteral("profiles"), path, true);
  return bytes.isNull() ? ProfileBook() : ParseProfiles(bytes, path);
}

void WriteProfiles(const QString& path, const ProfileBook& book) {
  QJsonObject o = book.unknown;
  o.insert(QStringLiteral("format"), kProfilesFormat);
  for (const ProfileKind kind : {ProfileKind::kLens, ProfileKind::kPrinter}) {
    QJsonArray list;
    for (const Profile& p : book.Of(kind)) {
      QJsonObject e = p.unknown;
      QJsonObject options = e.value(QLatin1String("options")).toObject();
      const QJsonObject known = OptionsToJson(p.options, QString());
      for (auto it = known.begin(); it != known.end(); ++it) options.insert(it.key(), it.value());
      e.insert(QStringLiteral("name"), TextToJson(p.name));
      e.insert(QStringLiteral("options"), options);
      list.append(e);
    }
    o.insert(kind == ProfileKind::kLens ? QStringLiteral("lenses") : QStringLiteral("printers"), list);
  }
  MakeFolderFor(path);
  OutputFile::WriteWhole(path, QJsonDocument(o).toJson());
}

void UpdateProfiles(const QString& path, const std::function<void(ProfileBook&)>& change) {
  MakeFolderFor(path);
  const FileLock lock(LockPathOf(path), QStringLiteral("the profiles"));
  ProfileBook book = ReadProfiles(path);
  change(book);
  WriteProfiles(path, book);
}

QString ProfileSummary(const Profile& profile) {
  QStringList parts;
  for (const auto& [name, value] : profile.options)
    parts << (value.isEmpty() && FindExportOption(name)->kind == OptionKind::kSwitch ? name : name + QChar(' ') + value);
  return parts.join(QStringLiteral(", "));
}

}  // namespace plivora
